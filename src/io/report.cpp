#include "report.h"

#include <getopt.h>

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
