// TRANSFAC matrices (also JASPAR's and PRODORIC's exports): records ended by
// "//", lines led by two-letter codes (AC, ID, NA, DE, XX, BF, CC, ...); a
// matrix is a "P0" (or "PO") line naming its columns, A, C, G and T in any
// order, then numbered rows of one count per column, whatever follows them
// (a consensus letter, a digit, '-') passed over:
//   AC  M00001
//   NA  MyoD
//   P0      A      C      G      T
//   01      1      2      2      0      S
#include <cctype>

#include "bases.h"
#include "motif_parse.h"

namespace {

struct record {
    std::string ac, id, na;
    std::uint64_t p0_line = 0;          // 0: no matrix yet
    std::array<int, 4> columns{};       // the base of each column
    std::vector<std::array<double, 4>> rows;
    std::uint64_t last_row = 0;
    bool rows_ended = false;
};

bool is_row_number(std::string_view field) {
    if (field.empty() || field.size() > 9) return false;
    for (const char c : field)
        if (c < '0' || c > '9') return false;
    return true;
}

bool read_columns(motif_lines& lines, const std::vector<std::string_view>& fields, record& r) {
    std::array<bool, 4> named{};
    bool ok = fields.size() == 5;
    for (std::size_t i = 1; ok && i < 5; ++i) {
        int base = -1;
        for (int b = 0; b < 4; ++b)
            if (fields[i].size() == 1 && std::toupper(static_cast<unsigned char>(fields[i][0])) == base_letters[b]) base = b;
        ok = base >= 0 && !named[base];
        if (ok) {
            named[base] = true;
            r.columns[i - 1] = base;
        }
    }
    if (!ok) return lines.fail("the " + std::string(fields[0]) + " line does not name the columns A, C, G and T");
    r.p0_line = lines.number;
    return true;
}

bool read_row(motif_lines& lines, const std::vector<std::string_view>& fields, record& r) {
    if (r.p0_line == 0) return lines.fail("a matrix row before the P0 line");
    if (r.rows_ended) return lines.fail("a matrix row after the matrix's end");
    const std::uint64_t number = std::stoull(std::string(fields[0]));
    if (!r.rows.empty() && number != r.last_row + 1)
        return lines.fail("row " + std::string(fields[0]) + " follows row " + std::to_string(r.last_row));
    if (fields.size() < 5)
        return lines.fail("a row of " + std::to_string(fields.size() - 1) + " counts; the P0 line names 4 columns");
    std::array<double, 4> counts;
    for (int i = 0; i < 4; ++i)
        if (!read_number(lines, fields[i + 1], counts[r.columns[i]])) return false;
    r.rows.push_back(counts);
    r.last_row = number;
    return true;
}

// A record with a matrix becomes a motif, named by AC (else ID), then NA
// (else ID) where that differs; a record without one (a file header) is none.
bool finish(motif_lines& lines, parse_context& context, record& r) {
    if (r.p0_line == 0) return true;
    const std::string& base = r.ac.empty() ? r.id : r.ac;
    if (base.empty()) return lines.fail("a matrix without an AC or ID line", r.p0_line);
    const std::string& name = r.na.empty() ? r.id : r.na;
    motif m;
    m.format = motif_format::transfac;
    m.id = name.empty() || name == base ? base : base + "_" + name;
    for (const std::string* given : {&r.ac, &r.id, &r.na})
        if (!given->empty()) m.names.push_back(*given);
    return add_counted_motif(lines, context, std::move(m), r.rows, false, r.p0_line);
}

}  // namespace

bool parse_transfac(motif_lines& lines, parse_context& context) {
    record r;
    std::string line;
    while (lines.next(line)) {
        if (is_comment_or_blank(line)) continue;
        const std::string_view text = trimmed(line);
        const std::vector<std::string_view> fields = fields_of(text);
        const std::string_view code = fields[0];
        if (code.substr(0, 2) == "//") {
            if (!finish(lines, context, r)) return false;
            r = record{};
            continue;
        }
        if (is_row_number(code)) {
            if (!read_row(lines, fields, r)) return false;
            if (r.rows.size() > context.how.max_width)
                return lines.fail("more than " + std::to_string(context.how.max_width) + " positions", r.p0_line);
            continue;
        }
        if (!is_line_code(code)) return lines.fail(quoted(code) + " is not a two-letter code");
        if (!r.rows.empty()) r.rows_ended = true;
        const std::string rest(trimmed(text.substr(2)));
        if (code == "AC" && r.ac.empty() && fields.size() > 1) {
            r.ac = std::string(fields[1]);
        } else if (code == "ID" && r.id.empty() && fields.size() > 1) {
            r.id = std::string(fields[1]);
        } else if (code == "NA" && r.na.empty()) {
            r.na = rest;
        } else if (code == "P0" || code == "PO") {
            if (r.p0_line != 0) return lines.fail("a second matrix in one record");
            if (!read_columns(lines, fields, r)) return false;
        }
    }
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    return finish(lines, context, r);
}
