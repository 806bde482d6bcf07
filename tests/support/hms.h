#pragma once

#include "core/timevalue.h"

// A time of day for the tests' tables: hms(7, 30) is 07:30:00.
inline TimeValue hms(int h, int m, int s = 0)
{
    return *TimeValue::fromHms(h, m, s);
}
