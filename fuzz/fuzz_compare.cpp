// Any bytes as a motif file, its motifs compared with each other: the fast
// comparison reports the pairs, alignments and p-values of the plain one,
// whatever the columns (equal, nearly equal, of huge counts), but for the
// choice between p-values equal to their last bits.
// The input's size picks the least overlap and the q-value limit. Motifs
// are kept narrow and few, so that the plain way stays quick.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "comparing.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_compare: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    motif_reading how;
    how.max_width = 5;
    const int fd = ::memfd_create("motifs", 0);
    check(fd >= 0, "memfd_create failed");
    check(::write(fd, data, size) == static_cast<ssize_t>(size), "cannot fill the file");
    ::lseek(fd, 0, SEEK_SET);
    std::vector<motif> motifs;
    std::string error;
    const bool ok = read_motif_fd(fd, "x", how, motifs, error);
    ::close(fd);
    if (!ok) return 0;
    if (motifs.size() > 6) motifs.resize(6);

    compare_settings settings;
    settings.min_overlap = 1 + size % 5;
    settings.max_q = (const double[]){0.01, 0.5, 1.0}[size / 5 % 3];
    const auto fast = compare_motifs(motifs, motifs, settings);
    const auto plain = plain_compare_motifs(motifs, motifs, settings);
    check(fast.size() == plain.size(), "another number of queries");
    // Alignments, or targets, whose p-values are equal by the definition may
    // differ in their last bits by the way each is worked out, and come in
    // either order: a different choice is one only where the p-values differ.
    const auto same = [](double a, double b) { return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(b)); };
    for (std::size_t q = 0; q < fast.size(); ++q) {
        check(fast[q].size() == plain[q].size(), "another number of matches");
        for (std::size_t i = 0; i < fast[q].size(); ++i) {
            const motif_match &a = fast[q][i], &b = plain[q][i];
            check(std::fabs(a.log_p - b.log_p) <= 1e-9 * std::max(1.0, std::fabs(b.log_p)), "another p-value");
            check(std::fabs(a.log_q - b.log_q) <= 1e-9 * std::max(1.0, std::fabs(b.log_q)), "another q-value");
            if (a.target != b.target) check(same(a.log_p, b.log_p), "another target");
            for (const motif_match& c : plain[q])
                if (c.target == a.target && (a.offset != c.offset || a.minus != c.minus || a.overlap != c.overlap))
                    check(same(a.log_p, c.log_p), "another alignment");
        }
    }
    return 0;
}
