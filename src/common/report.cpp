#include "report.h"

#include <iostream>

void print_error(const char* program, const std::string& message) {
    // std::cerr is tied to std::cout, so whatever a program said on standard
    // output so far shows first.
    std::cerr << std::string(program) + ": " + message + "\n";
}
