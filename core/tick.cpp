#include "tick.h"

// Placeholder until the core lands.
