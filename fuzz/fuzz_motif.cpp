// Any bytes as a motif file: the fast counting path, fed in pieces, and the
// file reader, whole or in parts cut at line starts, must agree with the
// plain count, and the matrix file written from it must be well formed.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "motif_matrix.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_motif: %s\n", what);
    std::abort();
}

// Counts may be held in vectors of different capacity; past the shorter one
// the longer must hold zeros.
bool same_counts(const motif_counts& a, const motif_counts& b) {
    if (a.n != b.n || a.width != b.width || a.too_long != b.too_long) return false;
    if (a.too_long) return true;  // refused: the partial counts are never used
    for (std::size_t c = 0; c < std::max(a.counts.size(), b.counts.size()); ++c)
        if ((c < a.counts.size() ? a.counts[c] : 0) != (c < b.counts.size() ? b.counts[c] : 0)) return false;
    return true;
}

// A file held in memory, so that the real reader and writer can be used.
int memory_file(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("motif", 0);
    check(fd >= 0, "memfd_create failed");
    check(::write(fd, data, size) == static_cast<ssize_t>(size), "cannot fill the motif file");
    return fd;
}

std::string matrix_text() {
    const int fd = memory_file(nullptr, 0);
    const int kept = ::dup(fd);
    write_matrix_file(fd, "matrix");  // closes fd
    std::string text(static_cast<std::size_t>(::lseek(kept, 0, SEEK_END)), '\0');
    check(::pread(kept, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()), "cannot read the matrix");
    ::close(kept);
    return text;
}

// Four lines, one per base: the letter, '|', then per position a score
// right-aligned in at least 10 characters and '|'. Up to 100 sequence lines
// every score fits in 10 characters; more lines can give longer texts such
// as -0.000244051, which are written whole.
void check_matrix(const std::string& text, const motif_counts& motif) {
    std::size_t at = 0;
    for (int b = 0; b < 4; ++b) {
        const std::size_t end = text.find('\n', at);
        check(end != std::string::npos, "matrix has fewer than four lines");
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (motif.width == 0) {
            check(line.empty(), "matrix line of width 0 is not empty");
            continue;
        }
        if (motif.n <= 100) check(line.size() == 2 + 11 * motif.width, "matrix line length is not 2 + 11 x width");
        check(line[0] == base_letters[b] && line[1] == '|', "matrix line does not start with its letter");
        std::size_t field = 2;
        for (std::size_t p = 0; p < motif.width; ++p) {
            const std::size_t bar = line.find('|', field);
            check(bar != std::string::npos && bar - field >= 10, "score field too short or missing");
            char* number_end = nullptr;
            const double written = std::strtod(line.c_str() + field, &number_end);
            check(number_end == line.c_str() + bar, "score field is not one number");
            const double score = c_o[p][b];
            check(std::fabs(written - score) <= 5e-6 * std::fabs(score), "written score differs from the score");
            field = bar + 1;
        }
        check(field == line.size(), "text after the last score");
    }
    check(at == text.size(), "text after the fourth line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    motif_counts plain;
    count_bytes(plain, text, size);
    count_end(plain);

    // The input's last byte picks the piece size, so that pieces split lines,
    // headers and 16-byte chunks everywhere.
    const std::size_t piece = size == 0 ? 1 : 1 + data[size - 1] % 64;
    fast_motif_counts fast;
    for (std::size_t at = 0; at < size; at += piece) count_block(fast, text + at, std::min(piece, size - at));
    count_block_end(fast);
    check(same_counts(plain, fast.motif), "fast path differs from plain path");

    // Half the inputs are read in parts of a few bytes, cut at line starts
    // on all cores and their counts added, as large files are.
    const int fd = memory_file(data, size);
    motif_counts read;
    const std::int64_t part_size = size > 0 && data[0] % 2 ? 1 + data[0] % 64 : default_part_size;
    const bool whole = read_motif(fd, "motif", read, part_size);
    ::close(fd);
    check(whole == !plain.too_long, "read_motif refused a good file or took a line over the limit");
    if (!whole) return 0;
    check(same_counts(plain, read), "read_motif differs from plain path");

    score_motif(plain);
    check_matrix(matrix_text(), plain);
    return 0;
}
