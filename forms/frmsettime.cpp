#include "frmsettime.h"
