#include "caption.h"

// Placeholder until the core lands.
