// MEME motif files: the minimal format and the text output of MEME, STREME
// and DREME. A motif starts at "MOTIF ID [ALT]"; its numbers are the rows
// of the "letter-probability matrix:" that follows, probabilities of A, C, G
// and T. Every other line (log-odds matrices, site lists, URLs, ...) is
// passed over; an alphabet other than DNA is refused.
#include <cctype>

#include <cmath>

#include "motif_parse.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The value after "key=" (or "key= ") among the fields, if any.
std::string_view value_of(const std::vector<std::string_view>& fields, std::string_view key) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!starts_with(fields[i], key) || fields[i].size() < key.size() + 1 || fields[i][key.size()] != '=') continue;
        if (fields[i].size() > key.size() + 1) return fields[i].substr(key.size() + 1);
        return i + 1 < fields.size() ? fields[i + 1] : std::string_view();
    }
    return {};
}

// "ALPHABET= ACGT" (MEME 4) or "ALPHABET "DNA" DNA-LIKE" and its block up to
// "END ALPHABET" (MEME 5).
bool read_alphabet(motif_lines& lines, std::string_view text) {
    if (starts_with(text, "ALPHABET=")) {
        std::string letters(trimmed(text.substr(9)));
        for (char& c : letters) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (letters != "ACGT") return lines.fail("the alphabet " + quoted(letters) + " is not DNA (ACGT)");
        return true;
    }
    const std::vector<std::string_view> fields = fields_of(text);
    const bool dna = (fields.size() > 1 && fields[1] == "\"DNA\"") || (fields.size() > 2 && fields[2] == "DNA-LIKE");
    if (!dna) return lines.fail("the alphabet " + quoted(trimmed(text.substr(8))) + " is not DNA");
    const std::uint64_t start = lines.number;
    std::string line;
    while (lines.next(line))
        if (starts_with(trimmed(line), "END ALPHABET")) return true;
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    return lines.fail("the alphabet has no END ALPHABET line", start);
}

struct pending_motif {
    motif m;
    std::uint64_t line = 0;
    bool has_matrix = false;
};

// The rows of a letter-probability matrix whose header is the line last read.
bool read_matrix(motif_lines& lines, parse_context& context, pending_motif& current, std::string_view header) {
    const std::vector<std::string_view> fields = fields_of(header.substr(header.find(':') + 1));
    const std::string_view alength = value_of(fields, "alength"), w = value_of(fields, "w"),
                           nsites = value_of(fields, "nsites");
    double value;
    if (!alength.empty()) {
        if (!read_number(lines, alength, value)) return false;
        if (value != 4) return lines.fail("alength= " + quoted(alength) + ": not the 4 letters of DNA");
    }
    double width = -1;
    if (!w.empty()) {
        if (!read_number(lines, w, width)) return false;
        // Against the limit first: a width past the range of whole numbers
        // cannot be converted to one.
        if (width > static_cast<double>(context.how.max_width))
            return lines.fail("more than " + std::to_string(context.how.max_width) + " positions", current.line);
        if (width != std::floor(width)) return lines.fail("w= " + std::string(w) + " is not a whole number");
    }
    current.m.sites = context.how.sites;
    if (!nsites.empty()) {
        if (!read_number(lines, nsites, current.m.sites)) return false;
        if (current.m.sites == 0) return lines.fail("nsites= 0: no sites to count");
    }
    std::vector<std::array<double, 4>> rows;
    std::string line;
    // With w= given, exactly that many rows; without, rows as long as they come.
    while (width < 0 || static_cast<double>(rows.size()) < width) {
        if (!lines.next(line)) {
            if (!lines.error.empty() || !lines.read_failure.empty()) return false;
            if (width < 0) break;
            return lines.fail("the file ends after " + std::to_string(rows.size()) + " rows of w= " + std::string(w),
                              lines.number + 1);
        }
        if (is_blank_line(line) && rows.empty()) continue;
        const std::vector<std::string_view> numbers = fields_of(line);
        if (numbers.empty() || !looks_numeric(numbers[0])) {
            if (width < 0) {
                lines.put_back();
                break;
            }
            return lines.fail("row " + std::to_string(rows.size() + 1) + " of w= " + std::string(w) +
                              " is not a row of 4 probabilities");
        }
        if (numbers.size() != 4) return lines.fail("a row of " + std::to_string(numbers.size()) + " numbers, not 4");
        std::array<double, 4> row;
        for (int b = 0; b < 4; ++b)
            if (!read_number(lines, numbers[b], row[b])) return false;
        rows.push_back(row);
        if (rows.size() > context.how.max_width)
            return lines.fail("more than " + std::to_string(context.how.max_width) + " positions", current.line);
    }
    if (width >= 0 && lines.next(line)) {
        const std::vector<std::string_view> after = fields_of(line);
        if (!after.empty() && looks_numeric(after[0])) return lines.fail("more rows than w= " + std::string(w));
        lines.put_back();
    }
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    current.has_matrix = true;
    return add_counted_motif(lines, context, current.m, rows, true, current.line);
}

}  // namespace

bool parse_meme(motif_lines& lines, parse_context& context) {
    pending_motif current;
    const auto finish = [&] {
        if (current.line != 0 && !current.has_matrix)
            return lines.fail("motif " + current.m.names[0] + " has no letter-probability matrix", current.line);
        return true;
    };
    std::string line;
    while (lines.next(line)) {
        const std::string_view text = trimmed(line);
        if (starts_with(text, "ALPHABET")) {
            if (!read_alphabet(lines, text)) return false;
        } else if (starts_with(text, "MOTIF") && (text.size() == 5 || fields_of(text)[0] == "MOTIF")) {
            if (!finish()) return false;
            const std::vector<std::string_view> fields = fields_of(text);
            if (fields.size() < 2) return lines.fail("MOTIF without a name");
            current = pending_motif{};
            current.line = lines.number;
            current.m.format = motif_format::meme;
            current.m.names = {std::string(fields[1])};
            current.m.id = current.m.names[0];
            // MEME's own output goes on "width = ..." after the names.
            if (fields.size() > 2 && fields[2] != "width") {
                current.m.names.emplace_back(fields[2]);
                current.m.id += "_" + current.m.names[1];
            }
        } else if (starts_with(text, "letter-probability matrix")) {
            if (current.line == 0) return lines.fail("a letter-probability matrix before any MOTIF line");
            if (current.has_matrix)
                return lines.fail("a second letter-probability matrix for motif " + current.m.names[0]);
            if (!read_matrix(lines, context, current, text)) return false;
        }
    }
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    return finish();
}
