// The matrix builder: one motif file in, one matrix file out.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "motif_matrix.h"

score_rows c_o;
std::size_t y = 0;

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
