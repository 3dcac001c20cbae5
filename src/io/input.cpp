#include "input.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t compressed_block = 1 << 18;

// Fills input.held with the next bytes of the file; returns false with
// `error` set on a read error. At the end of the file sets at_end.
bool fill(input_file& input, std::string& error) {
    input.held.resize(compressed_block);
    input.held_from = 0;
    for (;;) {
        const ssize_t got = ::read(input.fd, input.held.data(), input.held.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = input.name + ": " + std::strerror(errno);
            input.held.clear();
            return false;
        }
        input.held.resize(static_cast<std::size_t>(got));
        input.at_end = got == 0;
        return true;
    }
}

// Inflates up to `size` bytes. A failure is kept in input.failure and
// reported once the text inflated before it has been handed out.
long inflate_some(input_file& input, char* data, std::size_t size, std::string& error) {
    z_stream& z = input.stream;
    z.next_out = reinterpret_cast<Bytef*>(data);
    z.avail_out = static_cast<uInt>(size);
    while (z.avail_out > 0) {
        if (z.avail_in == 0) {
            if (input.at_end) break;
            if (!fill(input, input.failure)) break;
            z.next_in = input.held.data();
            z.avail_in = static_cast<uInt>(input.held.size());
            if (z.avail_in == 0) break;
        }
        if (!input.in_member) {
            // Another member follows (bgzip writes many); anything else after
            // a member is refused by inflate's header check.
            inflateReset(&z);
            input.in_member = true;
        }
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            input.in_member = false;
        } else if (status != Z_OK && (status != Z_BUF_ERROR || z.avail_in > 0)) {
            input.failure = input.name + ": corrupt gzip data (" + (z.msg ? z.msg : "inflate failed") + ")";
            break;
        }
    }
    if (input.failure.empty() && z.avail_out > 0 && input.in_member && input.at_end)
        input.failure = input.name + ": gzip data ends early";
    const auto produced = static_cast<long>(size - z.avail_out);
    if (produced > 0 || input.failure.empty()) return produced;
    error = input.failure;
    return -1;
}

}  // namespace

bool open_input(const std::string& path, input_file& input, std::string& error) {
    if (path == "-") return open_input_fd(0, "standard input", input, error);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        input = input_file{};
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!open_input_fd(fd, path, input, error)) return false;
    struct stat file;
    input.mapped = !input.gzip && ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && file.st_size > 0;
    input.size = input.mapped ? static_cast<std::uint64_t>(file.st_size) : 0;
    return true;
}

bool open_input_fd(int fd, const std::string& name, input_file& input, std::string& error) {
    input = input_file{};
    input.name = name;
    input.fd = fd;
    if (fd < 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    // Two bytes tell gzip (1f 8b) from text; a read may return fewer.
    input.held.resize(compressed_block);
    std::size_t got = 0;
    while (got < 2) {
        const ssize_t more = ::read(input.fd, input.held.data() + got, input.held.size() - got);
        if (more < 0 && errno == EINTR) continue;
        if (more < 0) {
            error = input.name + ": " + std::strerror(errno);
            close_input(input);
            return false;
        }
        if (more == 0) {
            input.at_end = true;
            break;
        }
        got += static_cast<std::size_t>(more);
    }
    input.held.resize(got);
    input.gzip = input.held.size() >= 2 && input.held[0] == 0x1f && input.held[1] == 0x8b;
    if (input.gzip) {
        if (inflateInit2(&input.stream, 16 + MAX_WBITS) != Z_OK) {
            error = input.name + ": cannot start gzip decompression";
            close_input(input);
            return false;
        }
        input.stream.next_in = input.held.data();
        input.stream.avail_in = static_cast<uInt>(input.held.size());
        input.in_member = true;
    }
    return true;
}

long read_input(input_file& input, char* data, std::size_t size, std::string& error) {
    if (!input.failure.empty()) {
        error = input.failure;
        return -1;
    }
    if (input.gzip) return inflate_some(input, data, size, error);
    if (input.held_from < input.held.size()) {
        const std::size_t n = std::min(size, input.held.size() - input.held_from);
        std::memcpy(data, input.held.data() + input.held_from, n);
        input.held_from += n;
        return static_cast<long>(n);
    }
    if (input.at_end) return 0;
    for (;;) {
        const ssize_t got = ::read(input.fd, data, size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = input.name + ": " + std::strerror(errno);
            return -1;
        }
        input.at_end = got == 0;
        return got;
    }
}

namespace {

constexpr std::size_t mapped_window = 16 << 20;

// The file being mapped, for the one line a bus error (the file shrank
// under its mapping) gets.
char mapped_name[4096];

extern "C" void file_shrank(int) {
    const char* parts[] = {program_invocation_short_name, ": ", mapped_name, ": the file shrank while it was read\n"};
    for (const char* part : parts)
        if (::write(2, part, std::strlen(part)) < 0) break;
    ::_exit(1);
}

void unmap(input_file& input) {
    if (input.window) ::munmap(const_cast<char*>(input.window), input.window_size);
    input.window = nullptr;
}

}  // namespace

long view_input(input_file& input, const char*& data, std::size_t size, std::string& error) {
    if (!input.mapped) {
        input.buffer.resize(size);
        data = input.buffer.data();
        return read_input(input, input.buffer.data(), size, error);
    }
    if (input.position >= input.size) return 0;
    if (!input.window || input.position >= input.window_from + input.window_size) {
        // Windows of the file, each dropped once read, so that what stays
        // resident is one window, whatever the file's size.
        unmap(input);
        input.window_from = input.position;
        input.window_size = static_cast<std::size_t>(std::min<std::uint64_t>(mapped_window, input.size - input.position));
        void* window = ::mmap(nullptr, input.window_size, PROT_READ, MAP_PRIVATE, input.fd, static_cast<off_t>(input.window_from));
        if (window == MAP_FAILED) {
            error = input.name + ": " + std::strerror(errno);
            return -1;
        }
        ::madvise(window, input.window_size, MADV_SEQUENTIAL);
        input.window = static_cast<const char*>(window);
        std::strncpy(mapped_name, input.name.c_str(), sizeof mapped_name - 1);
        struct sigaction on_bus_error {};
        on_bus_error.sa_handler = file_shrank;
        ::sigaction(SIGBUS, &on_bus_error, nullptr);
    }
    const std::size_t offset = static_cast<std::size_t>(input.position - input.window_from);
    const std::size_t n = std::min(size, input.window_size - offset);
    data = input.window + offset;
    input.position += n;
    return static_cast<long>(n);
}

void close_input(input_file& input) {
    unmap(input);
    if (input.gzip) inflateEnd(&input.stream);
    if (input.fd > 0) ::close(input.fd);
    input.fd = -1;
}
