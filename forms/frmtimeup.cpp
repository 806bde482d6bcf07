#include "frmtimeup.h"
