// The matrix files motif_matrix writes: four lines, A, C, G and T, of
// '|'-closed fields, parsed a byte at a time.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "bases.h"
#include "motif_parse.h"

namespace {

// Longer fields are refused: a number has no need of them.
constexpr std::size_t max_field = 64;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

struct parser {
    parser(std::size_t max, double most, std::vector<std::array<double, 4>>& into)
        : max_positions(max), max_score(most), scores(into) {}
    std::size_t max_positions;
    double max_score;
    std::vector<std::array<double, 4>>& scores;
    std::string error;

    std::size_t line = 0;       // 0-based line being read
    std::size_t positions = 0;  // fields closed so far on this line
    std::size_t first_line_positions = 0;
    enum { letter, bar, field, after_lines } where = letter;
    std::string text;           // the field being read

    bool fail(const std::string& reason) {
        error = reason;
        return false;
    }

    bool close_field() {
        const std::size_t begin = text.find_first_not_of(" \t");
        const std::size_t end = text.find_last_not_of(" \t");
        const std::string number = begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
        char* stop = nullptr;
        const double value = std::strtod(number.c_str(), &stop);
        if (number.empty() || stop != number.c_str() + number.size())
            return fail("position " + std::to_string(positions + 1) + ": " + quoted(number) + " is not a number");
        if (!std::isfinite(value))
            return fail("position " + std::to_string(positions + 1) + ": " + quoted(number) + " is not a finite number");
        if (std::fabs(value) > max_score) {
            char most[32];
            std::snprintf(most, sizeof most, "%g", max_score);
            return fail("position " + std::to_string(positions + 1) + ": the score " + quoted(number) +
                        " is beyond +-" + most + ", not a log-odds");
        }
        if (line == 0) {
            if (positions == max_positions)
                return fail("more than " + std::to_string(max_positions) + " positions");
            scores.emplace_back();
        } else if (positions == first_line_positions) {
            return fail("more positions than line 1's " + std::to_string(first_line_positions));
        }
        scores[positions][line] = value;
        ++positions;
        text.clear();
        return true;
    }

    bool end_line() {
        if (where == field && text.find_first_not_of(" \t\r") != std::string::npos)
            return fail("position " + std::to_string(positions + 1) + ": field not closed by '|'");
        if (line == 0) first_line_positions = positions;
        if (positions != first_line_positions)
            return fail(std::to_string(positions) + " positions, but line 1 has " + std::to_string(first_line_positions));
        ++line;
        positions = 0;
        text.clear();
        where = line == 4 ? after_lines : letter;
        return true;
    }

    bool take(char c) {
        switch (where) {
        case after_lines:
            if (c == '\n') {
                ++line;
            } else if (!is_blank(c)) {
                return fail("text after the four lines A, C, G and T");
            }
            return true;
        case letter:
            // An empty line (or one of blanks) holds no position: width 0.
            if (c == '\n') return end_line();
            if (is_blank(c)) return true;
            if (c != base_letters[line])
                return fail("starts with " + quoted(std::string(1, c)) + ", not '" + base_letters[line] + "|'");
            where = bar;
            return true;
        case bar:
            if (c != '|') return fail("'" + std::string(1, base_letters[line]) + "' is not followed by '|'");
            where = field;
            return true;
        case field:
            if (c == '\n') return end_line();
            if (c == '|') return close_field();
            if (text.size() == max_field)
                return fail("position " + std::to_string(positions + 1) + ": field longer than " +
                            std::to_string(max_field) + " characters");
            text += c;
            return true;
        }
        return true;
    }

    bool finish() {
        if (where == bar) return fail("'" + std::string(1, base_letters[line]) + "' is not followed by '|'");
        if (where == field && !end_line()) return false;  // a last line without its line feed
        if (where == letter && line < 4) {
            if (line == 3 && first_line_positions == 0) return end_line();  // "\n\n\n" and no fourth line feed
            return fail("the file ends before the " + std::string(1, base_letters[line]) + " line");
        }
        return true;
    }
};

}  // namespace

bool parse_matrix(motif_lines& lines, parse_context& context) {
    motif m;
    m.id = name_after_file(context.path, ".matrix");
    m.names = {m.id};
    m.format = motif_format::matrix;
    parser p(context.how.max_width, context.how.max_score, m.scores);
    std::string line;
    while (lines.next(line)) {
        for (const char c : line)
            if (!p.take(c)) return lines.fail(p.error, p.line + 1);
        if (!p.take('\n')) return lines.fail(p.error, p.line + 1);
    }
    if (!lines.error.empty() || !lines.read_failure.empty()) return false;
    if (!p.finish()) return lines.fail(p.error, p.line + 1);
    if (m.scores.empty()) {
        lines.error = "the matrix has no positions";
        return false;
    }
    context.into.push_back(std::move(m));
    return true;
}
