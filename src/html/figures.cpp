#include "figures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string general_of_log(double log_value) {
    char text[48];
    const double log10_value = log_value / std::log(10.0);
    if (log10_value > -300) {
        std::snprintf(text, sizeof text, "%.3g", std::exp(log_value));
        return text;
    }
    // Below the range of doubles: the mantissa and exponent apart.
    double exponent = std::floor(log10_value);
    std::snprintf(text, sizeof text, "%.3g", std::pow(10.0, log10_value - exponent));
    if (std::strtod(text, nullptr) >= 10) {  // 9.999 rounded up
        exponent += 1;
        std::snprintf(text, sizeof text, "%.3g", std::pow(10.0, log10_value - exponent));
    }
    return text + std::string("e-") + std::to_string(static_cast<long>(-exponent));
}

std::string fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) return text + 1;
    return text;
}
