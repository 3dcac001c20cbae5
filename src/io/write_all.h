// Writing a whole buffer to a file descriptor, and the programs' output files.
#pragma once

#include <cstddef>
#include <string>

// Writes all of data, or returns the errno of the write that failed (0 on success).
int write_all(int fd, const char* data, std::size_t size);

// Writes `text` to the output file `path`; returns the errno of a failure, or 0.
// A regular file (or a new one) is written beside itself and renamed over
// the path once whole, so that a failed run never leaves half a file; where
// its folder forbids that, it is written in place. A new file is as readable
// as any new file, a replaced one keeps its mode. Anything else (a device, a
// FIFO, /dev/stdout) is written to, never replaced; symbolic links are
// followed to what they name.
int write_whole(const std::string& path, const std::string& text);

// write_all to standard output and write_whole ('-' being standard output),
// a failure reported in one line for `program`: false then.
bool write_output(const char* program, const std::string& text);
bool write_file(const char* program, const std::string& path, const std::string& text);
