// One-line error reports, the same shape in every program.
#pragma once

#include <string>

// Writes "PROGRAM: MESSAGE" and a line feed to standard error in one piece.
void print_error(const char* program, const std::string& message);
