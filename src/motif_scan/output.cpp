// Formatting a site's line. A loose threshold writes tens of millions of
// lines, and std::to_chars takes tens of nanoseconds per number, so a
// number is scaled to its significant digits in one rounded step and those
// are rounded and placed; numbers near a rounding tie, zero and the very
// small or large go to std::to_chars, which prints printf's digits.
#include "output.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "bases.h"

namespace {

// 10^k for k from 0 to 308, each the double nearest to it; and per binary
// exponent e of a normal double, the decimal exponent d of its smallest
// values and the bound 10^(d+1) from which its values have exponent d + 1.
struct decimal_tables {
    std::array<double, 309> ten;
    std::array<int, 2046> exponent;
    std::array<double, 2046> bound;
};

const decimal_tables& tables() {
    static const decimal_tables t = [] {
        decimal_tables made{};
        for (int k = 0; k <= 308; ++k) made.ten[k] = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
        for (int e = -1022; e <= 1023; ++e) {
            const int d = static_cast<int>(std::floor(e * std::log10(2.0)));
            made.exponent[e + 1022] = d;
            made.bound[e + 1022] = std::strtod(("1e" + std::to_string(d + 1)).c_str(), nullptr);
        }
        return made;
    }();
    return t;
}

char* slow_general(char* out, double value, int precision) {
    return std::to_chars(out, out + 32, value, std::chars_format::general, precision).ptr;
}

char* put(char* at, const std::string& text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

}  // namespace

namespace {

// format_general for a precision known at compile time, so that its loops
// unroll.
template <int precision>
char* format_digits(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-280 && magnitude < 1e280)) return slow_general(out, value, precision);
    const decimal_tables& table = tables();
    const auto& ten = table.ten;
    // k such that t = |value| x 10^k has `precision` digits before the point,
    // from the decimal exponent (off by one only when |value| is within a
    // unit of its last place of a power of ten: then t is out of range).
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const std::size_t binary = (bits >> 52) - 1;
    const int k = precision - 1 - table.exponent[binary] - (magnitude >= table.bound[binary]);
    const double t = k >= 0 ? magnitude * ten[static_cast<std::size_t>(k)] : magnitude / ten[static_cast<std::size_t>(-k)];
    // t is within a few units in its last place of |value| x 10^k: its
    // rounding is exact unless its fraction lies that close to a half.
    if (!(t >= ten[precision - 1] && t < ten[precision])) return slow_general(out, value, precision);
    auto digits = static_cast<std::uint64_t>(t);  // t is positive: truncating is rounding down
    const double fraction = t - static_cast<double>(digits);
    if (fraction > 0.5 - 1e-7 && fraction < 0.5 + 1e-7) return slow_general(out, value, precision);
    digits += fraction > 0.5;
    int scale = k;
    if (digits == static_cast<std::uint64_t>(ten[precision])) {
        digits /= 10;
        --scale;
    }
    // The digits as characters in one register, the first in its lowest
    // byte, as memory holds them: written in whole words, never read back.
    static_assert(precision <= 7, "the digits and a point fit eight bytes");
    // Each digit from the number itself, not from the one before: divisions
    // by constants, all at once.
    std::uint64_t text = 0;
    std::uint64_t power = 1;
    for (int i = 0; i < precision; ++i, power *= 10)
        text |= static_cast<std::uint64_t>('0' + digits / power % 10) << (8 * (precision - 1 - i));
    int used = precision;  // significant digits but trailing zeros
    while (used > 1 && (text >> (8 * (used - 1)) & 0xff) == '0') --used;
    // The digits with a point after the first `before`.
    const auto pointed = [&](int before) {
        const std::uint64_t low = (std::uint64_t{1} << (8 * before)) - 1;
        return (text & low) | std::uint64_t{'.'} << (8 * before) | (text & ~low) << 8;
    };
    const int exponent = precision - 1 - scale;  // of the first digit
    *out = '-';
    char* at = out + std::signbit(value);
    // Whole words written, the part not used overwritten later.
    if (exponent < -4 || exponent >= precision) {
        const std::uint64_t word = pointed(1);
        std::memcpy(at, &word, 8);
        at += used > 1 ? used + 1 : 1;
        at[0] = 'e';
        at[1] = exponent < 0 ? '-' : '+';
        const int shown = std::abs(exponent);
        if (shown >= 100) {
            at[2] = static_cast<char>('0' + shown / 100);
            ++at;
        }
        at[2] = static_cast<char>('0' + shown / 10 % 10);
        at[3] = static_cast<char>('0' + shown % 10);
        at += 4;
    } else if (exponent >= 0) {
        const std::uint64_t word = exponent + 1 < precision ? pointed(exponent + 1) : text;
        std::memcpy(at, &word, 8);
        at += used > exponent + 1 ? used + 1 : exponent + 1;
    } else {
        std::memcpy(at, "0.000000", 8);
        std::memcpy(at + 1 - exponent, &text, 8);
        at += 1 - exponent + used;
    }
    return at;
}

}  // namespace

char* format_general(char* out, double value, int precision) {
    switch (precision) {
    case 3: return format_digits<3>(out, value);
    case 6: return format_digits<6>(out, value);
    default: return slow_general(out, value, precision);
    }
}

void append_site(std::string& out, const std::string& record, const site& s, const scan_matrix& m,
                 const char* window) {
    // The line is made in one piece and appended once: numbers take at most
    // 32 characters each, the rest is known.
    char line[4096];
    const std::size_t size = record.size() + m.name.size() + m.width + 4 * 32 + 8;
    std::string long_line;
    char* const start = size <= sizeof line ? line : (long_line.resize(size), long_line.data());
    char* at = put(start, record);
    *at++ = '\t';
    at = std::to_chars(at, at + 24, s.start).ptr;
    *at++ = '\t';
    at = std::to_chars(at, at + 24, s.start + m.width).ptr;
    *at++ = '\t';
    at = put(at, m.name);
    *at++ = '\t';
    at = format_digits<6>(at, s.score);
    *at++ = '\t';
    *at++ = s.minus ? '-' : '+';
    *at++ = '\t';
    at = format_digits<3>(at, p_value(m.grid, s.cell));
    *at++ = '\t';
    if (s.minus) {
        for (std::size_t k = m.width; k-- > 0;) *at++ = complement[static_cast<unsigned char>(window[k])];
    } else {
        std::memcpy(at, window, m.width);
        at += m.width;
    }
    *at++ = '\n';
    out.append(start, static_cast<std::size_t>(at - start));
}
