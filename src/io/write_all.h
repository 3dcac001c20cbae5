// Writing a whole buffer to a file descriptor.
#pragma once

#include <cstddef>
#include <string>

// Writes all of data, or returns the errno of the write that failed (0 on success).
int write_all(int fd, const char* data, std::size_t size);

// Writes `text` to a temporary file beside `path` and renames it over
// `path` once whole, so that a failed run never leaves half a file. The file
// is as readable as any new file. Returns the errno of a failure, or 0.
int write_whole(const std::string& path, const std::string& text);

// write_all to standard output and write_whole, a failure reported in one
// line for `program`: false then.
bool write_output(const char* program, const std::string& text);
bool write_file(const char* program, const std::string& path, const std::string& text);
