// Any bytes as a motif file: the reader either refuses them with one line
// naming the file, or returns motifs of 1 to the allowed number of
// positions, with finite scores and identifiers that stay in one column. A
// matrix file's numbers, written back as motif_matrix writes them, read back
// the same to six digits, and a motif from counts never scores above ln 4.
// The input's size picks whether the format is told from the content or
// forced, and the size of the blocks the file is read in.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "motif.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_motif_read: %s\n", what);
    std::abort();
}

bool read_bytes(const std::string& bytes, const motif_reading& how, std::vector<motif>& motifs, std::string& error) {
    const int fd = ::memfd_create("motifs", 0);
    check(fd >= 0, "memfd_create failed");
    check(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "cannot fill the file");
    ::lseek(fd, 0, SEEK_SET);
    const bool ok = read_motif_fd(fd, "dir/x.matrix", how, motifs, error);
    ::close(fd);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    motif_reading how;
    how.max_width = 50;
    if (size % 8 >= 3) how.format = static_cast<motif_format>(size % 8 - 3);
    how.block_bytes = size % 2 ? 1 + size % 13 : 1 << 16;
    std::vector<motif> motifs;
    std::string error;
    if (!read_bytes(std::string(reinterpret_cast<const char*>(data), size), how, motifs, error)) {
        check(error.rfind("dir/x.matrix: ", 0) == 0, "an error does not start with the file's name");
        check(error.find('\n') == std::string::npos, "an error is more than one line");
        return 0;
    }
    check(!motifs.empty(), "a file read without a motif");
    for (const motif& m : motifs) {
        check(!m.scores.empty() && m.scores.size() <= 50, "a motif's width is out of bounds");
        check(!m.id.empty() && m.id.find_first_of(" \t\r\n/") == std::string::npos, "an identifier would split a column");
        check(!how.format || m.format == *how.format, "a motif of another format than forced");
        for (const auto& column : m.scores)
            for (const double s : column) {
                check(std::isfinite(s), "a score is not finite");
                check(m.format == motif_format::matrix || s <= std::log(4.0) + 1e-12, "a count scores above ln 4");
            }
    }
    if (motifs[0].format != motif_format::matrix) return 0;

    check(motifs.size() == 1 && motifs[0].id == "x", "a matrix file is not one motif named after its file");
    std::string written;
    char field[64];
    for (int b = 0; b < 4; ++b) {
        written += "ACGT"[b];
        written += '|';
        for (const auto& column : motifs[0].scores) {
            std::snprintf(field, sizeof field, "%10g|", column[b]);
            written += field;
        }
        written += '\n';
    }
    std::vector<motif> again;
    check(read_bytes(written, how, again, error), "the matrix written back is refused");
    check(again[0].scores.size() == motifs[0].scores.size(), "the matrix written back has another width");
    for (std::size_t p = 0; p < motifs[0].scores.size(); ++p)
        for (int b = 0; b < 4; ++b)
            check(std::fabs(again[0].scores[p][b] - motifs[0].scores[p][b]) <= 5e-6 * std::fabs(motifs[0].scores[p][b]) + 1e-300,
                  "a score written back reads differently");
    return 0;
}
