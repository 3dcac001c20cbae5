// How the reports and tables print their figures.
#pragma once

#include <string>

// %.3g of a value given by its natural log, also below the range of
// doubles: "0.0123", "3.4e-412".
std::string general_of_log(double log_value);

// `value` with `decimals` decimals; a value that rounds to 0 from below
// prints as 0, not "-0.00".
std::string fixed(double value, int decimals);
