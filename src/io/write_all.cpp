#include "write_all.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

namespace {

int write_in_place(const std::string& path, int flags, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | flags);
    if (fd < 0) return errno;
    int error = write_all(fd, text.data(), text.size());
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

// Where `path` leads once its symbolic links are followed: `into` the
// path of a file (the last link may name nothing yet: a new file is made
// there), or `fd` when it is one of this process's descriptors, as
// /dev/stdout and /dev/fd/N are. Returns an errno, or 0.
int follow_links(std::string path, std::string& into, int& fd) {
    const std::string own_fds[] = {"/proc/self/fd/", "/proc/" + std::to_string(::getpid()) + "/fd/"};
    for (int links = 0; links < 40; ++links) {
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        char real[PATH_MAX];
        if (!::realpath(folder.c_str(), real)) return errno;
        path = (std::strcmp(real, "/") == 0 ? "" : std::string(real)) + "/" + path.substr(slash + 1);
        for (const std::string& own : own_fds) {
            const std::string number = path.compare(0, own.size(), own) == 0 ? path.substr(own.size()) : "";
            if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos) {
                fd = std::atoi(number.c_str());
                return 0;
            }
        }
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            into = path;
            return 0;
        }
        char target[PATH_MAX];
        const ssize_t size = ::readlink(path.c_str(), target, sizeof target - 1);
        if (size < 0) return errno;
        target[size] = '\0';
        path = target[0] == '/' ? std::string(target) : path.substr(0, path.rfind('/') + 1) + target;
    }
    return ELOOP;
}

// Writes a regular file whole beside `path` and renames it over it; a
// folder that takes no new file has an existing one (`mode` >= 0) written
// in place, truncated only now that the text is ready.
int replace_regular(const std::string& path, const std::string& text, int mode) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        if (mode >= 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) return write_in_place(path, O_TRUNC, text);
        return errno;
    }
    int error = write_all(fd, text.data(), text.size());
    if (mode < 0) {
        // mkstemp makes the file private; a picture or report is as readable as any new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<int>(0666 & ~mask);
    }
    if (error == 0 && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    return error;
}

}  // namespace

int write_whole(const std::string& path, const std::string& text) {
    std::string target;
    int fd = -1;
    if (const int error = follow_links(path, target, fd)) return error;
    // Written where the descriptor stands, after what the program wrote to it so far.
    if (fd >= 0) return write_all(fd, text.data(), text.size());
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) return errno == ENOENT ? replace_regular(target, text, -1) : errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return write_in_place(target, 0, text);
    return replace_regular(target, text, static_cast<int>(st.st_mode & 07777));
}

bool write_output(const char* program, const std::string& text) {
    if (const int error = write_all(1, text.data(), text.size())) {
        print_error(program, std::string("standard output: ") + std::strerror(error));
        return false;
    }
    return true;
}

bool write_file(const char* program, const std::string& path, const std::string& text) {
    if (path == "-") return write_output(program, text);
    if (const int error = write_whole(path, text)) {
        print_error(program, path + ": " + std::strerror(error));
        return false;
    }
    return true;
}
