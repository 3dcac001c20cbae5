// Counting the bases of a motif file per position, one byte at a time: the
// plain reference that the fast path (count_fast.cpp) is tested against.
#include <algorithm>

#include "motif_matrix.h"

namespace {

void end_line(motif_counts& motif) {
    ++motif.n;
    motif.width = motif.line_length;
    motif.line_length = 0;
    motif.where = motif_counts::line_start;
}

}  // namespace

void count_bytes(motif_counts& motif, const char* data, std::size_t size) {
    if (motif.too_long) return;
    for (std::size_t i = 0; i < size; ++i) {
        const auto ch = static_cast<unsigned char>(data[i]);
        if (motif.where == motif_counts::header) {
            if (ch == '\n') motif.where = motif_counts::line_start;
            continue;
        }
        if (ch == '\n') {
            end_line(motif);
            continue;
        }
        if (motif.where == motif_counts::line_start && ch == '>') {
            motif.where = motif_counts::header;
            continue;
        }
        motif.where = motif_counts::sequence;
        const std::size_t p = motif.line_length;
        if (p == max_width) {
            motif.too_long = true;
            return;
        }
        if (4 * p == motif.counts.size())
            motif.counts.resize(4 * std::min(max_width, std::max<std::size_t>(64, 2 * p)));
        const unsigned b = base_code[ch];
        if (b < 4) ++motif.counts[4 * p + b];
        motif.line_length = p + 1;
    }
}

void count_end(motif_counts& motif) {
    if (!motif.too_long && motif.where == motif_counts::sequence) end_line(motif);
}
