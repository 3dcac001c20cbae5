// Reading motif files: the format told from the content, one parser per
// format, identifiers made safe for tab-separated output and unique.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "bases.h"
#include "motif_parse.h"
#include "report.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Whether a line starts with a base letter standing alone, as a JASPAR row does.
bool is_lettered_row(std::string_view text) {
    return text.size() >= 2 && std::find(base_letters, base_letters + 4, text[0] & ~0x20) != base_letters + 4 &&
           (text[1] == ' ' || text[1] == '\t' || text[1] == '[');
}

// After a '>' header, rows of numbers alone are JASPAR's (four rows, A, C, G
// and T, of a number per position, as JASPAR's collections were long
// distributed) or HOMER's (a row of four per position). `rows` holds how
// many numbers each of the first four rows has, `more` whether a fifth
// follows. Where both fit (four rows of four), the header decides: HOMER's
// has tab-separated fields with a number third. Where neither fits, so does
// a HOMER header, else the first row's count: the parser then names the fault.
motif_format format_of_numeric_rows(std::string_view header, const std::vector<std::size_t>& rows, bool more) {
    const bool jaspar = !more && rows.size() == 4 && std::count(rows.begin(), rows.end(), rows[0]) == 4;
    const bool homer = std::count(rows.begin(), rows.end(), 4) == static_cast<std::ptrdiff_t>(rows.size());
    std::size_t tab = header.find('\t');
    if (tab != std::string_view::npos) tab = header.find('\t', tab + 1);
    const bool homer_header = tab != std::string_view::npos && looks_numeric(trimmed(header.substr(tab + 1)));
    if (jaspar && homer) return homer_header ? motif_format::homer : motif_format::jaspar;
    if (jaspar || homer) return jaspar ? motif_format::jaspar : motif_format::homer;
    return homer_header || rows[0] == 4 ? motif_format::homer : motif_format::jaspar;
}

// The format of a file from its first line that is neither blank nor a
// comment, and for a '>' header the lines after it. The lines read are put
// back. Fails the line when no format fits.
bool detect_format(motif_lines& lines, std::optional<motif_format>& format) {
    std::vector<std::pair<std::uint64_t, std::string>> seen;
    std::string line;
    const auto next_content = [&](std::string_view& text) {
        while (lines.next(line)) {
            seen.emplace_back(lines.number, line);
            if (!is_comment_or_blank(line)) {
                text = trimmed(seen.back().second);
                return true;
            }
        }
        return false;
    };
    std::string_view first, second;
    if (next_content(first)) {
        const std::uint64_t at = lines.number;
        const std::vector<std::string_view> fields = fields_of(first);
        if (starts_with(first, "MEME") || starts_with(first, "MOTIF") || starts_with(first, "ALPHABET") ||
            first.find_first_not_of('*') == std::string_view::npos) {
            format = motif_format::meme;
        } else if (starts_with(first, "A|")) {
            format = motif_format::matrix;
        } else if (first.front() == '>') {
            // Views into `seen` last only until the next line is read.
            const std::string header(first.substr(1));
            if (next_content(second)) {
                if (is_lettered_row(second)) {
                    format = motif_format::jaspar;
                } else if (looks_numeric(fields_of(second)[0])) {
                    std::vector<std::size_t> rows = {fields_of(second).size()};
                    bool more = false;
                    std::string_view row;
                    while (!more && next_content(row) && looks_numeric(fields_of(row)[0])) {
                        if (rows.size() == 4) {
                            more = true;
                        } else {
                            rows.push_back(fields_of(row).size());
                        }
                    }
                    format = format_of_numeric_rows(header, rows, more);
                }
            }
        } else if (looks_numeric(fields[0]) || first.front() == '[' || is_lettered_row(first)) {
            format = motif_format::jaspar;
        } else if (is_line_code(fields[0]) || starts_with(first, "//")) {
            format = motif_format::transfac;
        }
        if (!format && lines.error.empty() && lines.read_failure.empty())
            lines.fail("not a motif format this program reads (matrix, JASPAR, MEME, TRANSFAC or HOMER)", at);
    }
    lines.replay(seen);
    return lines.error.empty() && lines.read_failure.empty();
}

// Blanks, tabs and '/' would split a column or a path.
std::string safe_identifier(std::string id) {
    for (char& c : id)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '/') c = '_';
    return id;
}

}  // namespace

std::optional<motif_format> format_named(const std::string& name) {
    for (int f = 0; f < 5; ++f)
        if (name == format_names[f]) return static_cast<motif_format>(f);
    return std::nullopt;
}

motif_format format_of_option(const char* program, const char* value) {
    const std::optional<motif_format> format = format_named(value);
    if (!format) usage_error(program, std::string("option --format: '") + value + "' is not matrix, jaspar, meme, transfac or homer");
    return *format;
}

double sites_of_option(const char* program, const char* value) {
    const double sites = number_option(program, "--sites", value);
    if (!(sites > 0)) usage_error(program, std::string("option --sites: '") + value + "' is not a count above 0");
    return sites;
}

bool read_motif_fd(int fd, const std::string& path, const motif_reading& how, std::vector<motif>& into,
                   std::string& error, std::string* warning) {
    if (warning) warning->clear();
    input_file input;
    if (!open_input_fd(::dup(fd), path, input, error)) return false;
    motif_lines lines(input, how.block_bytes);
    parse_context context{path, how, into, {}};
    const std::size_t before = into.size();
    std::optional<motif_format> format = how.format;
    bool ok = format || detect_format(lines, format);
    if (ok && format) {
        switch (*format) {
        case motif_format::matrix: ok = parse_matrix(lines, context); break;
        case motif_format::jaspar: ok = parse_jaspar(lines, context); break;
        case motif_format::meme: ok = parse_meme(lines, context); break;
        case motif_format::transfac: ok = parse_transfac(lines, context); break;
        case motif_format::homer: ok = parse_homer(lines, context); break;
        }
    }
    close_input(input);
    if (!ok) {
        error = !lines.read_failure.empty() ? lines.read_failure : path + ": " + lines.error;
        return false;
    }
    if (into.size() == before) {
        error = path + ": no motif in the file";
        return false;
    }
    for (std::size_t i = before; i < into.size(); ++i) into[i].id = safe_identifier(into[i].id);
    if (warning && !context.warning.empty()) *warning = path + ": " + context.warning;
    return true;
}

bool read_motif_file(const std::string& path, const motif_reading& how, std::vector<motif>& into, std::string& error,
                     std::string* warning) {
    const int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = read_motif_fd(fd, path == "-" ? "standard input" : path, how, into, error, warning);
    if (fd > 0) ::close(fd);
    return ok;
}

std::vector<std::string> make_identifiers_unique(std::vector<motif>& all) {
    std::vector<std::string> given(all.size());
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, std::size_t> repeats;
    for (std::size_t i = 0; i < all.size(); ++i) {
        given[i] = all[i].id;
        if (!taken.insert(all[i].id).second) {
            std::size_t& k = repeats[given[i]];
            k = std::max<std::size_t>(k, 1);
            do all[i].id = given[i] + "#" + std::to_string(++k);
            while (!taken.insert(all[i].id).second);
        }
    }
    return given;
}

bool load_motif_set(const char* program, const std::vector<std::string>& paths, const motif_reading& how,
                    const std::vector<std::string>& wanted, std::vector<motif>& all, std::vector<std::size_t>& picked) {
    all.clear();
    picked.clear();
    for (const std::string& path : paths) {
        std::string error, warning;
        if (!read_motif_file(path, how, all, error, &warning)) {
            print_error(program, error);
            return false;
        }
        if (!warning.empty()) print_error(program, "warning: " + warning);
    }
    const std::vector<std::string> given = make_identifiers_unique(all);
    std::vector<bool> matched(wanted.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        bool keep = wanted.empty();
        for (std::size_t w = 0; w < wanted.size(); ++w) {
            const std::string& name = wanted[w];
            if (name == all[i].id || name == given[i] ||
                std::find(all[i].names.begin(), all[i].names.end(), name) != all[i].names.end())
                keep = matched[w] = true;
        }
        if (keep) picked.push_back(i);
    }
    for (std::size_t w = 0; w < wanted.size(); ++w) {
        if (matched[w]) continue;
        print_error(program, "no motif named '" + wanted[w] + "' in " +
                                 (paths.size() == 1 ? paths[0] : "the motif files given"));
        return false;
    }
    return true;
}

bool load_motifs(const char* program, const std::vector<std::string>& paths, const motif_reading& how,
                 const std::vector<std::string>& wanted, std::vector<motif>& motifs) {
    std::vector<motif> all;
    std::vector<std::size_t> picked;
    if (!load_motif_set(program, paths, how, wanted, all, picked)) return false;
    motifs.clear();
    for (const std::size_t i : picked) motifs.push_back(std::move(all[i]));
    return true;
}
