// Log-odds scores and the matrix file they are written to.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "motif_matrix.h"
#include "write_all.h"

float cal_log_odd_scores(std::uint64_t count, std::uint64_t n) {
    // Pseudocount 0.25 per base over a uniform background of 0.25. Counts stay
    // exact integers in a double up to 2^53, far past any file's line count.
    const double frequency = (static_cast<double>(count) + 0.25) / ((static_cast<double>(n) + 1.0) * 0.25);
    return static_cast<float>(std::log(frequency));
}

void score_motif(const motif_counts& motif) {
    y = motif.width;
    c_o.assign(y, {});
    for (std::size_t p = 0; p < y; ++p)
        for (int b = 0; b < 4; ++b) c_o[p][b] = cal_log_odd_scores(motif.counts[4 * p + b], motif.n);
}

int create_matrix_file(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) report_failure("cannot create matrix file", name, std::strerror(errno));
    return fd;
}

namespace {

// Formatting a score costs far more than copying its text, and a wide motif
// has few distinct scores (one per count), so the text of recently
// formatted scores is kept, found by the score's bits.
struct score_text {
    std::uint32_t bits = 0;
    std::uint8_t length = 0;  // 0: nothing kept yet
    char text[16];
};

// Writes a score as "%10g|" (at most 13 characters) and returns its length;
// `out` needs room for 16 bytes, copied whole as a fixed-size copy is fastest.
std::size_t put_score(char* out, float score) {
    static score_text kept[1024];
    std::uint32_t bits;
    std::memcpy(&bits, &score, sizeof bits);
    score_text& entry = kept[(bits * 2654435761u) >> 22];
    if (entry.length == 0 || entry.bits != bits) {
        entry.bits = bits;
        entry.length = static_cast<std::uint8_t>(
            std::snprintf(entry.text, sizeof entry.text, "%10g|", static_cast<double>(score)));
    }
    std::memcpy(out, entry.text, sizeof entry.text);
    return entry.length;
}

}  // namespace

void write_matrix_file(int fd, const std::string& name) {
    if (fd < 0) return;
    // One line per base: its letter, then every score in %g form (six
    // significant digits) right-aligned in 10 characters and closed by '|'.
    // The letter goes with the first score, so width 0 gives empty lines.
    static char buffer[1 << 16];
    std::size_t used = 0;
    int error = 0;
    auto flush = [&] {
        if (error == 0) error = write_all(fd, buffer, used);
        used = 0;
    };
    for (int b = 0; b < 4; ++b) {
        for (std::size_t p = 0; p < y; ++p) {
            // Room for a letter, "|", a score's 16-byte copy and the line feed.
            if (sizeof buffer - used < 32) flush();
            if (p == 0) {
                buffer[used++] = base_letters[b];
                buffer[used++] = '|';
            }
            used += put_score(buffer + used, c_o[p][b]);
        }
        buffer[used++] = '\n';
    }
    flush();
    // A full disk may only show when the file is closed.
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) report_failure("cannot write matrix file", name, std::strerror(error));
}
