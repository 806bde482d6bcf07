#pragma once

#include <QString>

// The directory that holds the running executable, without a trailing separator
// (unless it is the root directory).
QString programDirectory();
