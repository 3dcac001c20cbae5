// HOMER motifs: a header ">CONSENSUS<TAB>NAME<TAB>THRESHOLD..." (or only
// ">NAME"), then one row per position of four numbers, A, C, G and T. A
// motif whose every row sums to 1 within 0.01 holds probabilities, any
// other counts.
#include <algorithm>
#include <cmath>

#include "motif_parse.h"

namespace {

struct pending_motif {
    motif m;
    std::uint64_t line = 0;
    std::vector<std::array<double, 4>> rows;
};

bool finish(motif_lines& lines, parse_context& context, pending_motif& current) {
    if (current.line == 0) return true;
    bool probabilities = true;
    for (const auto& row : current.rows)
        probabilities = probabilities && std::fabs(row[0] + row[1] + row[2] + row[3] - 1) <= 0.01;
    if (probabilities) current.m.sites = context.how.sites;
    return add_counted_motif(lines, context, std::move(current.m), current.rows, probabilities, current.line);
}

}  // namespace

bool parse_homer(motif_lines& lines, parse_context& context) {
    pending_motif current;
    std::string line;
    while (lines.next(line)) {
        if (is_comment_or_blank(line)) continue;
        const std::string_view text = trimmed(line);
        if (text.front() == '>') {
            if (!finish(lines, context, current)) return false;
            current = pending_motif{};
            current.line = lines.number;
            // The fields are tab-separated: a name may hold blanks.
            const std::string_view header = text.substr(1);
            const std::size_t tab = header.find('\t');
            const std::string_view name =
                trimmed(tab == std::string_view::npos ? header : header.substr(tab + 1, header.find('\t', tab + 1) - tab - 1));
            if (name.empty()) return lines.fail("a header without a name");
            current.m.format = motif_format::homer;
            current.m.id = std::string(name);
            current.m.names = {current.m.id};
            continue;
        }
        if (current.line == 0) return lines.fail("expected a '>' header");
        const std::vector<std::string_view> fields = fields_of(text);
        std::array<double, 4> row;
        for (std::size_t b = 0; b < fields.size(); ++b)
            if (!read_number(lines, fields[b], row[std::min<std::size_t>(b, 3)])) return false;
        if (fields.size() != 4) return lines.fail("a row of " + std::to_string(fields.size()) + " numbers, not 4");
        current.rows.push_back(row);
        if (current.rows.size() > context.how.max_width)
            return lines.fail("more than " + std::to_string(context.how.max_width) + " positions", current.line);
    }
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    return finish(lines, context, current);
}
