#include "module1.h"

// Placeholder until the platform services land.
