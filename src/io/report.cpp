#include "report.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>

void print_error(const char* program, const std::string& message) {
    // std::cerr is tied to std::cout, so whatever a program said on standard
    // output so far shows first.
    std::cerr << std::string(program) + ": " + message + "\n";
}

void usage_error(const char* program, const std::string& message) {
    print_error(program, message + " (try '" + program + " --help')");
    std::exit(2);
}

void option_error(const char* program, int got, char** argv) {
    if (got == ':') usage_error(program, std::string("option ") + argv[optind - 1] + " needs a value");
    usage_error(program, optopt ? std::string("unknown option -") + static_cast<char>(optopt)
                                : std::string("unknown option ") + argv[optind - 1]);
}

double number_option(const char* program, const char* option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !std::isfinite(value) || errno == ERANGE)
        usage_error(program, std::string("option ") + option + ": '" + text + "' is not a number");
    return value;
}

std::uint64_t whole_option(const char* program, const char* option, const char* text, std::uint64_t least) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *text == '-' || *end != '\0' || errno == ERANGE || value < least)
        usage_error(program, std::string("option ") + option + ": '" + text + "' is not a whole number of at least " +
                                 std::to_string(least));
    return value;
}

unsigned threads_option(const char* program, const char* text) {
    // More threads than this only cost memory.
    return static_cast<unsigned>(std::min<std::uint64_t>(whole_option(program, "-j", text, 1), 64));
}

std::string cut_name(const std::string& name) { return name.size() <= 100 ? name : name.substr(0, 100) + "..."; }
