// One-line error reports, the same shape in every program.
#pragma once

#include <string>

// Writes "PROGRAM: MESSAGE" and a line feed to standard error in one piece.
void print_error(const char* program, const std::string& message);

// Writes "PROGRAM: MESSAGE (try 'PROGRAM --help')" and exits with status 2.
[[noreturn]] void usage_error(const char* program, const std::string& message);

// The usage error of an option getopt_long did not take: it returned
// `got` (':' for a missing value, '?' for an unknown option).
[[noreturn]] void option_error(const char* program, int got, char** argv);
