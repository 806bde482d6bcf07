#include "module1.h"

// Placeholder until the core lands.
