#pragma once

#include "base/datetime.h"

#include <QString>

namespace tw::app {

// The day's name part of the error log: the year, the month in two digits, the day without a
// leading zero (5 March 2024 gives "2024035", 15 November 2024 "20241115").
QString dateSuffix(int year, int month, int day);
QString dateSuffix(TDateTime date);

} // namespace tw::app
