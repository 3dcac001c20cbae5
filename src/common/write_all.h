// Writing a whole buffer to a file descriptor.
#pragma once

#include <cstddef>

// Writes all of data, or returns the errno of the write that failed (0 on success).
int write_all(int fd, const char* data, std::size_t size);
