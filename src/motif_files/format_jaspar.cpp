// JASPAR count matrices: a header ">ID NAME", then the rows A, C, G and T,
// each the base letter and its counts per position, brackets optional:
//   >MA0004.1	Arnt
//   A  [  4 19  0 ]
// A file may also hold one motif without a header (JASPAR's .pfm): four rows
// of counts, with or without letters, named after the file.
#include "bases.h"
#include "motif_parse.h"

namespace {

int base_of_letter(char c) {
    for (int b = 0; b < 4; ++b)
        if (c == base_letters[b] || c == base_letters[b] + ('a' - 'A')) return b;
    return -1;
}

// A row: an optional base letter (-1 if none), then numbers, optionally in brackets.
bool read_row(motif_lines& lines, std::string_view line, int& letter, std::vector<double>& numbers) {
    std::string_view text = trimmed(line);
    letter = -1;
    if (!text.empty() && base_of_letter(text[0]) >= 0 &&
        (text.size() == 1 || text[1] == '[' || trimmed(text.substr(1, 1)).empty())) {
        letter = base_of_letter(text[0]);
        text = trimmed(text.substr(1));
    }
    const bool opens = !text.empty() && text.front() == '[', closes = !text.empty() && text.back() == ']';
    if (opens != closes) return lines.fail(opens ? "'[' without ']'" : "']' without '['");
    if (opens) text = text.substr(1, text.size() - 2);
    numbers.clear();
    for (const std::string_view field : fields_of(text)) {
        double value;
        if (!read_number(lines, field, value)) return false;
        numbers.push_back(value);
    }
    return true;
}

// The next line that is neither blank nor a comment.
bool next_content(motif_lines& lines, std::string& line) {
    while (lines.next(line))
        if (!is_comment_or_blank(line)) return true;
    return false;
}

// The four rows of a motif, the first already in `line`; rows with letters
// may come in any order, rows without are A, C, G and T.
bool read_rows(motif_lines& lines, std::string& line, const std::string& what,
               std::vector<std::array<double, 4>>& positions) {
    std::array<std::vector<double>, 4> rows;
    std::array<bool, 4> seen{};
    std::array<std::uint64_t, 4> row_line{};
    bool lettered = false;
    for (int r = 0; r < 4; ++r) {
        if (r > 0 && !next_content(lines, line)) {
            if (!lines.error.empty() || !lines.read_failure.empty()) return false;
            return lines.fail("the file ends before the 4 rows of " + what, lines.number + 1);
        }
        if (!line.empty() && trimmed(line).front() == '>') return lines.fail("a header where " + what + " needs 4 rows");
        int letter;
        std::vector<double> numbers;
        if (!read_row(lines, line, letter, numbers)) return false;
        if (r == 0) lettered = letter >= 0;
        if ((letter >= 0) != lettered) return lines.fail("rows with and without base letters in " + what);
        const int base = lettered ? letter : r;
        if (seen[base]) return lines.fail("a second " + std::string(1, base_letters[base]) + " row in " + what);
        seen[base] = true;
        row_line[base] = lines.number;
        rows[base] = std::move(numbers);
    }
    const std::size_t width = rows[0].size();
    for (int b = 1; b < 4; ++b)
        if (rows[b].size() != width)
            return lines.fail("the " + std::string(1, base_letters[b]) + " row of " + what + " has " +
                              std::to_string(rows[b].size()) + " numbers, the A row " + std::to_string(width),
                              row_line[b]);
    positions.assign(width, {});
    for (std::size_t p = 0; p < width; ++p)
        for (int b = 0; b < 4; ++b) positions[p][b] = rows[b][p];
    return true;
}

}  // namespace

bool parse_jaspar(motif_lines& lines, parse_context& context) {
    std::string line;
    bool first = true;
    while (next_content(lines, line)) {
        const std::string_view text = trimmed(line);
        motif m;
        m.format = motif_format::jaspar;
        const std::uint64_t start = lines.number;
        std::vector<std::array<double, 4>> positions;
        if (text.front() == '>') {
            const std::string_view header = trimmed(text.substr(1));
            const std::vector<std::string_view> fields = fields_of(header);
            if (fields.empty()) return lines.fail("a header without a name");
            const std::string id(fields[0]);
            const std::string name(trimmed(header.substr(fields[0].size())));
            m.id = name.empty() ? id : id + "_" + name;
            m.names = {id};
            if (!name.empty()) m.names.push_back(name);
            if (!next_content(lines, line)) {
                if (!lines.error.empty() || !lines.read_failure.empty()) return false;
                return lines.fail("the file ends before the 4 rows of " + id, start + 1);
            }
            if (!read_rows(lines, line, id, positions)) return false;
        } else if (first) {
            // A motif without a header is the file's only one.
            m.id = name_after_file(context.path, ".pfm");
            m.names = {m.id};
            if (!read_rows(lines, line, "the motif", positions)) return false;
            if (next_content(lines, line)) return lines.fail("more than the 4 rows of a motif without a '>' header");
            if (!lines.error.empty() || !lines.read_failure.empty()) return false;
        } else {
            return lines.fail("expected a '>' header");
        }
        first = false;
        if (!add_counted_motif(lines, context, std::move(m), positions, false, start)) return false;
    }
    return lines.error.empty() && lines.read_failure.empty();
}
