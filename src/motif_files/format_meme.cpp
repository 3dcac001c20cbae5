// MEME motif files: the minimal format and the text output of MEME, STREME
// and DREME. A motif starts at "MOTIF ID [ALT]"; its numbers are the rows
// of the "letter-probability matrix:" that follows, probabilities of A, C, G
// and T. Every other line (log-odds matrices, site lists, URLs, ...) is
// passed over; an alphabet other than DNA is refused.
#include <algorithm>
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

// The frequencies on the line after "Background letter frequencies": A,
// C, G and T each once, in any order, each followed by its frequency.
bool read_background_line(motif_lines& lines, base_frequencies& frequencies) {
    std::string line;
    do {
        if (!lines.next(line)) {
            if (!lines.error.empty() || !lines.read_failure.empty()) return false;
            return lines.fail("the background letter frequencies are missing", lines.number + 1);
        }
    } while (is_blank_line(line));
    const std::vector<std::string_view> fields = fields_of(line);
    std::array<bool, 4> given{};
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        const std::size_t b = fields[i].size() == 1
                                  ? std::string_view("ACGT").find(static_cast<char>(std::toupper(static_cast<unsigned char>(fields[i][0]))))
                                  : std::string_view::npos;
        if (b == std::string_view::npos || given[b])
            return lines.fail("the background line has " + quoted(fields[i]) + " where a base is due");
        if (!read_number(lines, fields[i + 1], frequencies[b])) return false;
        given[b] = true;
    }
    if (fields.size() != 8 || !given[0] || !given[1] || !given[2] || !given[3])
        return lines.fail("the background line does not give A, C, G and T a frequency each");
    if (const std::string fault = frequencies_fault(frequencies, file_frequency_tolerance); !fault.empty())
        return lines.fail("the background line: " + fault);
    const double sum = frequencies[0] + frequencies[1] + frequencies[2] + frequencies[3];
    for (double& f : frequencies) f /= sum;
    return true;
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

// Motifs of the other formats among the lines a MEME file passes over, as
// their readers would take them: a '>' header, then four rows of counts
// (JASPAR's), or one row of four after HOMER's header; a P0 line naming A,
// C, G and T, then a numbered row (TRANSFAC's). A file of another format
// appended to a MEME file would otherwise lose its motifs without a word.
// A line that starts neither costs a look at its first byte; blank and
// comment lines, as those readers skip them, do not part a header from its
// rows.
struct foreign_motifs {
    std::uint64_t count = 0, first_line = 0;
    const char* first_format = nullptr;

    void pass_over(std::string_view text, std::uint64_t number) {
        if (text.empty() || text.front() == '#') return;
        if (pending != none && goes_on(text)) return;
        pending = none;
        if (text.front() == '>' && !fields_of(text.substr(1)).empty()) {
            // HOMER's header: tab-separated fields, a number third.
            std::size_t tab = text.find('\t');
            if (tab != std::string_view::npos) tab = text.find('\t', tab + 1);
            pending =
                tab != std::string_view::npos && looks_numeric(trimmed(text.substr(tab + 1))) ? homer_header : header;
        } else if (starts_with(text, "P0") || starts_with(text, "PO")) {
            const std::vector<std::string_view> fields = fields_of(text);
            std::string letters;
            for (std::size_t i = 1; i < fields.size(); ++i)
                letters += fields[i].size() == 1
                               ? static_cast<char>(std::toupper(static_cast<unsigned char>(fields[i][0])))
                               : '?';
            std::sort(letters.begin(), letters.end());
            if (fields[0].size() == 2 && letters == "ACGT") pending = p0;
        }
        start = number;
        rows = 0;
    }

    // Lines the parser reads itself part a header from what follows.
    void interrupt() { pending = none; }

  private:
    enum { none, header, homer_header, p0 } pending = none;
    std::uint64_t start = 0;
    int rows = 0;

    void found(const char* format) {
        if (count++ == 0) {
            first_line = start;
            first_format = format;
        }
        pending = none;
    }

    // Whether the line carries on the start pending.
    bool goes_on(std::string_view text) {
        std::vector<std::string_view> fields = fields_of(text);
        if (pending == p0) {
            const bool row = fields.size() >= 5 &&
                             fields[0].find_first_not_of("0123456789") == std::string_view::npos &&
                             std::all_of(fields.begin() + 1, fields.begin() + 5, looks_numeric);
            if (row) found("TRANSFAC");
            return row;
        }
        // A row of counts: numbers, or a base letter standing alone before
        // them, in brackets or not.
        const bool letter = std::string_view("ACGTacgt").find(text.front()) != std::string_view::npos &&
                            (text.size() == 1 || text[1] == ' ' || text[1] == '\t' || text[1] == '[');
        if (letter) {
            std::string_view rest = trimmed(text.substr(1));
            if (!rest.empty() && rest.front() == '[') rest.remove_prefix(1);
            if (!rest.empty() && rest.back() == ']') rest.remove_suffix(1);
            fields = fields_of(rest);
        }
        if (fields.empty() || !std::all_of(fields.begin(), fields.end(), looks_numeric)) return false;
        ++rows;
        if (pending == homer_header && !letter && fields.size() == 4) {
            found("HOMER");
        } else if (rows == 4) {
            found("JASPAR");
        }
        return true;
    }
};

}  // namespace

bool parse_meme(motif_lines& lines, parse_context& context) {
    pending_motif current;
    const auto finish = [&] {
        if (current.line != 0 && !current.has_matrix)
            return lines.fail("motif " + current.m.names[0] + " has no letter-probability matrix", current.line);
        return true;
    };
    foreign_motifs foreign;
    std::optional<base_frequencies> background;
    std::string line;
    while (lines.next(line)) {
        const std::string_view text = trimmed(line);
        if (context.how.file_background && starts_with(text, "Background letter frequencies")) {
            foreign.interrupt();
            if (!read_background_line(lines, background.emplace())) return false;
        } else if (starts_with(text, "ALPHABET")) {
            foreign.interrupt();
            if (!read_alphabet(lines, text)) return false;
        } else if (starts_with(text, "MOTIF") && (text.size() == 5 || fields_of(text)[0] == "MOTIF")) {
            foreign.interrupt();
            if (!finish()) return false;
            const std::vector<std::string_view> fields = fields_of(text);
            if (fields.size() < 2) return lines.fail("MOTIF without a name");
            current = pending_motif{};
            current.line = lines.number;
            current.m.format = motif_format::meme;
            current.m.background = background;
            current.m.names = {std::string(fields[1])};
            current.m.id = current.m.names[0];
            // MEME's own output goes on "width = ..." after the names.
            if (fields.size() > 2 && fields[2] != "width") {
                current.m.names.emplace_back(fields[2]);
                current.m.id += "_" + current.m.names[1];
            }
        } else if (starts_with(text, "letter-probability matrix")) {
            foreign.interrupt();
            if (current.line == 0) return lines.fail("a letter-probability matrix before any MOTIF line");
            if (current.has_matrix)
                return lines.fail("a second letter-probability matrix for motif " + current.m.names[0]);
            if (!read_matrix(lines, context, current, text)) return false;
        } else {
            foreign.pass_over(text, lines.number);
        }
    }
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    if (foreign.count > 0)
        context.warning = "line " + std::to_string(foreign.first_line) + ": a " + foreign.first_format +
                          " motif in a MEME file, not read" +
                          (foreign.count > 1 ? " (" + std::to_string(foreign.count) + " such places in all)" : "") +
                          "; give each format a file of its own";
    return finish();
}
