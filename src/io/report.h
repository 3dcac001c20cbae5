// One-line error reports, the same shape in every program.
#pragma once

#include <cstdint>
#include <string>

// Writes "PROGRAM: MESSAGE" and a line feed to standard error in one piece.
void print_error(const char* program, const std::string& message);

// Writes "PROGRAM: MESSAGE (try 'PROGRAM --help')" and exits with status 2.
[[noreturn]] void usage_error(const char* program, const std::string& message);

// The usage error of an option getopt_long did not take: it returned
// `got` (':' for a missing value, '?' for an unknown option).
[[noreturn]] void option_error(const char* program, int got, char** argv);

// An option's value as a finite number, or a usage error.
double number_option(const char* program, const char* option, const char* text);

// An option's value as a whole number of at least `least`, or a usage error.
std::uint64_t whole_option(const char* program, const char* option, const char* text, std::uint64_t least);

// The value of -j N: a whole number of at least 1, at most 64 taken.
unsigned threads_option(const char* program, const char* text);

// A name (a chromosome's, a record's) as quoted in a message: at most 100
// characters, cut with "..." past that, so that a huge name makes no huge line.
std::string cut_name(const std::string& name);
