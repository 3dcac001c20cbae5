// Reading the matrix files that motif_matrix writes.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

struct matrix_file {
    std::string name;                           // the file's name without its folder and a trailing ".matrix"
    std::vector<std::array<double, 4>> scores;  // per position, one score per base in base order
};

// Reads the matrix file at `path`: four lines, A, C, G and T, each the letter
// and '|', then per position one '|'-terminated field holding a number
// (blanks around it allowed, any width). Lines may end in CR LF; empty lines
// may follow the fourth. Four empty lines are a matrix of width 0. A file
// with more than `max_positions` positions is refused.
// On failure returns false with `error` set to "PATH: reason" or
// "PATH: line N: reason".
bool read_matrix_file(const std::string& path, std::size_t max_positions, matrix_file& matrix, std::string& error);

// Reads a matrix of 1 to `max_positions` positions for `program`; reports a
// failure as one line, "PROGRAM: PATH: reason", and returns false.
bool load_matrix(const char* program, const std::string& path, std::size_t max_positions, matrix_file& matrix);

// The same for a file already open on `fd`, named `path` in errors and in
// matrix.name; the descriptor stays open.
bool read_matrix_fd(int fd, const std::string& path, std::size_t max_positions, matrix_file& matrix,
                    std::string& error);
