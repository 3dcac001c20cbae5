// The matrix builder: one motif file in, one matrix file out.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "motif_matrix.h"

score_rows c_o;
std::size_t y = 0;

namespace {

// Counts the whole motif file from its start. On failure reports it and
// returns false; the caller then drops the partial counts.
bool read_motif(int fd, const std::string& name, motif_counts& motif) {
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        report_failure("cannot read motif file", name, std::strerror(errno));
        return false;
    }
    static char block[1 << 16];
    for (;;) {
        ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            report_failure("cannot read motif file", name, std::strerror(errno));
            return false;
        }
        if (got == 0) break;
        count_bytes(motif, block, static_cast<std::size_t>(got));
        if (motif.too_long) {
            const std::string reason = "a line is longer than " + std::to_string(max_width) + " positions";
            report_failure("cannot read motif file", name, reason.c_str());
            return false;
        }
    }
    count_end(motif);
    return true;
}

}  // namespace

void matrix(const std::string& name) {
    // The matrix file is created before the motif is read, and also when the
    // motif file cannot be opened, so every name typed leaves a matrix file.
    const int in = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) report_failure("cannot read motif file", name, std::strerror(errno));
    const std::string out_name = name + ".matrix";
    const int out = create_matrix_file(out_name);

    motif_counts motif;
    if (in >= 0 && !read_motif(in, name, motif)) motif = motif_counts{};
    score_motif(motif);
    write_matrix_file(out, out_name);
    if (in >= 0) ::close(in);
}
