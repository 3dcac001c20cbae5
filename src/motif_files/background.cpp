// Backgrounds: base frequencies given as four numbers, in a file of MEME's
// background format, or on the background line of a MEME motif file.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "motif.h"

std::string frequencies_fault(const base_frequencies& frequencies, double tolerance) {
    double sum = 0;
    for (int b = 0; b < 4; ++b) {
        if (!(frequencies[b] > 0 && frequencies[b] <= 1))
            return std::string("the frequency of ") + "ACGT"[b] + " is not above 0 and at most 1";
        sum += frequencies[b];
    }
    if (!(std::fabs(sum - 1) <= tolerance)) {
        char text[80];
        std::snprintf(text, sizeof text, "the frequencies add up to %.9g, not 1", sum);
        return text;
    }
    return "";
}

bool read_background_file(const std::string& path, base_frequencies& frequencies, std::string& error,
                          std::string& warning) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    const auto fail = [&](std::uint64_t number, const std::string& reason) {
        error = path + ": line " + std::to_string(number) + ": " + reason;
        return false;
    };
    std::array<bool, 4> given{};
    std::uint64_t number = 0, last = 0, longer = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++number;
        std::size_t at = line.find_first_not_of(" \t\r");
        if (at == std::string::npos || line[at] == '#') continue;
        std::size_t end = line.find_first_of(" \t", at);
        const std::string word = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (word.find_first_not_of("ACGTacgt") != std::string::npos)
            return fail(number, "'" + word.substr(0, 40) + "' is not a word of bases");
        const std::string value = end == std::string::npos ? "" : line.substr(end);
        char* after = nullptr;
        const double p = std::strtod(value.c_str(), &after);
        if (value.empty() || after == value.c_str() || value.find_first_not_of(" \t\r", after - value.c_str()) != std::string::npos ||
            !(p > 0 && p <= 1))
            return fail(number, "the frequency of " + word + " is not a number above 0 and at most 1");
        // The frequencies of longer words model neighbouring bases, which
        // p-values of independent bases leave out.
        if (word.size() > 1) {
            if (longer == 0) longer = number;
            continue;
        }
        const int b = static_cast<int>(std::string("ACGT").find(static_cast<char>(std::toupper(word[0]))));
        if (given[b]) return fail(number, "a second frequency of " + word);
        given[b] = true;
        frequencies[b] = p;
        last = number;
    }
    for (int b = 0; b < 4; ++b)
        if (!given[b]) return fail(number, std::string("no frequency of ") + "ACGT"[b]);
    if (const std::string fault = frequencies_fault(frequencies, file_frequency_tolerance); !fault.empty())
        return fail(last, fault);
    const double sum = frequencies[0] + frequencies[1] + frequencies[2] + frequencies[3];
    for (double& f : frequencies) f /= sum;
    if (longer > 0)
        warning = path + ": line " + std::to_string(longer) +
                  ": frequencies of longer words are left out: p-values take bases as independent";
    return true;
}
