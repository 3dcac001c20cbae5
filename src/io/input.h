// Reading a file, plain or gzip-compressed (also bgzip: several members one
// after another), told apart by its first bytes: FASTA and motif files alike.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct input_file {
    std::string name;  // for errors: the path, or "standard input"
    int fd = -1;
    bool gzip = false;
    bool at_end = false;               // the file's bytes are all read
    std::vector<unsigned char> held;   // read but not yet handed out or inflated
    std::size_t held_from = 0;
    z_stream stream{};
    bool in_member = false;            // inflating a gzip member
    std::string failure;               // reported once the text before it is handed out
    // A named plain file is mapped a window at a time, not copied.
    bool mapped = false;
    std::uint64_t size = 0, position = 0;  // of the mapped file
    const char* window = nullptr;
    std::uint64_t window_from = 0;
    std::size_t window_size = 0;
    std::vector<char> buffer;          // what view_input hands out of other files
};

// Opens `path` ("-" for standard input). On failure returns false with
// `error` set to "NAME: reason".
bool open_input(const std::string& path, input_file& input, std::string& error);

// The same for a file open on `fd`, which close_input closes (unless it is
// standard input), named `name` in errors; a negative fd reports errno.
bool open_input_fd(int fd, const std::string& name, input_file& input, std::string& error);

// Reads up to `size` bytes of the file's text. Returns how many (0 at its
// end), or -1 with `error` set.
long read_input(input_file& input, char* data, std::size_t size, std::string& error);

// Hands out up to `size` bytes of the file's text at `data`, valid until
// the next call: a view of a mapped file, or a copy. Returns how many (0 at
// its end), or -1 with `error` set. A mapped file that shrinks while it is
// read ends the program with one line on standard error and status 1.
long view_input(input_file& input, const char*& data, std::size_t size, std::string& error);

void close_input(input_file& input);
