#include "clock.h"

// Placeholder until the platform services land.
