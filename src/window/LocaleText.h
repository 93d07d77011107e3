// The user's locale settings that the windows write and read numbers and dates with.
#pragma once

#include "document/run/RunReport.h"

namespace orvanel {

// The decimal separator of the user's locale; '.' when it is not a single ASCII character.
char LocaleDecimalSeparator();

// The date, time and decimal separators of the user's locale for the run report.
ReportSeparators LocaleReportSeparators();

} // namespace orvanel
