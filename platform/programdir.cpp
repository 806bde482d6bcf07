#include "programdir.h"

// Placeholder until the platform services land.
