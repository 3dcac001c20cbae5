#include "write_all.h"

#include <unistd.h>

#include <cerrno>

int write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errno;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}
