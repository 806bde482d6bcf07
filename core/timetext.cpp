#include "timetext.h"

// Placeholder until the core lands.
