// Any bytes as a matrix file: the reader either refuses them with one line
// naming the file, or returns four rows of finite numbers that, written
// back as motif_matrix writes them, read back the same to six digits.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "matrix_read.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_matrix_file: %s\n", what);
    std::abort();
}

bool read_bytes(const std::string& bytes, matrix_file& matrix, std::string& error) {
    const int fd = ::memfd_create("matrix", 0);
    check(fd >= 0, "memfd_create failed");
    check(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "cannot fill the file");
    ::lseek(fd, 0, SEEK_SET);
    const bool ok = read_matrix_fd(fd, "dir/x.matrix", 50, matrix, error);
    ::close(fd);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    matrix_file matrix;
    std::string error;
    if (!read_bytes(std::string(reinterpret_cast<const char*>(data), size), matrix, error)) {
        check(error.rfind("dir/x.matrix: ", 0) == 0, "an error does not start with the file's name");
        check(error.find('\n') == std::string::npos, "an error is more than one line");
        return 0;
    }
    check(matrix.name == "x", "the matrix is not named after its file");
    check(matrix.scores.size() <= 50, "more positions than allowed");
    std::string written;
    char field[64];
    for (int b = 0; b < 4; ++b) {
        written += "ACGT"[b];
        written += '|';
        for (const auto& column : matrix.scores) {
            check(std::isfinite(column[b]), "a score is not finite");
            std::snprintf(field, sizeof field, "%10g|", column[b]);
            written += field;
        }
        written += '\n';
    }
    matrix_file again;
    check(read_bytes(written, again, error), "the matrix written back is refused");
    check(again.scores.size() == matrix.scores.size(), "the matrix written back has another width");
    for (std::size_t p = 0; p < matrix.scores.size(); ++p)
        for (int b = 0; b < 4; ++b)
            check(std::fabs(again.scores[p][b] - matrix.scores[p][b]) <= 5e-6 * std::fabs(matrix.scores[p][b]) + 1e-300,
                  "a score written back reads differently");
    return 0;
}
