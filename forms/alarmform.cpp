#include "alarmform.h"
