#include "write_all.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "report.h"

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

int write_whole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return errno;
    int error = write_all(fd, text.data(), text.size());
    // mkstemp makes the file private; a picture or report is as readable as any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (error == 0 && ::fchmod(fd, 0666 & ~mask) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    return error;
}

bool write_output(const char* program, const std::string& text) {
    if (const int error = write_all(1, text.data(), text.size())) {
        print_error(program, std::string("standard output: ") + std::strerror(error));
        return false;
    }
    return true;
}

bool write_file(const char* program, const std::string& path, const std::string& text) {
    if (const int error = write_whole(path, text)) {
        print_error(program, path + ": " + std::strerror(error));
        return false;
    }
    return true;
}
