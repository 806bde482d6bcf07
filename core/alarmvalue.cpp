#include "alarmvalue.h"

// Placeholder until the core lands.
