// A window's exact score, and a site's output line.
#include <charconv>
#include <cstdio>

#include "bases.h"
#include "scan.h"

void check_window(const scan_matrix& m, std::uint32_t index, const std::uint8_t* codes, std::uint64_t start,
                  bool minus, std::vector<site>& found) {
    // Summed in double precision in the matrix's position order; on the
    // reverse strand position p of the matrix meets the complement of the
    // window's byte width - 1 - p.
    double score = 0;
    std::int64_t cell = 0;
    for (std::size_t p = 0; p < m.width; ++p) {
        const unsigned b = minus ? 3u - codes[m.width - 1 - p] : codes[p];
        score += m.scores[p][b];
        cell += m.grid.cells[p][b];
    }
    if (m.wanted.by_score ? score < m.wanted.value : cell < m.min_cell) return;
    found.push_back({start, index, minus, score, p_value(m.grid, cell)});
}

namespace {

void append_number(std::string& out, std::uint64_t n) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

}  // namespace

void append_site(std::string& out, const std::string& record, const site& s, const scan_matrix& m,
                 const char* window) {
    out += record;
    out += '\t';
    append_number(out, s.start);
    out += '\t';
    append_number(out, s.start + m.width);
    out += '\t';
    out += m.name;
    char text[80];
    const int length = std::snprintf(text, sizeof text, "\t%g\t%c\t%.3g\t", s.score, s.minus ? '-' : '+', s.p);
    out.append(text, static_cast<std::size_t>(length));
    if (s.minus) {
        for (std::size_t k = m.width; k-- > 0;) out += complement[static_cast<unsigned char>(window[k])];
    } else {
        out.append(window, m.width);
    }
    out += '\n';
}
