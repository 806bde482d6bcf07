#include "startup.h"

// Placeholder until the platform services land.
