// A byte-at-a-time reader: matrix files are small, and holding no more than
// one field at a time keeps memory bounded whatever the file holds.
#include "matrix_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bases.h"
#include "report.h"

namespace {

// Longer fields are refused: a number has no need of them.
constexpr std::size_t max_field = 64;

std::string quoted(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            shown += '?';
        } else {
            shown += c;
        }
    }
    return "'" + shown + "'";
}

std::string file_name(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::string suffix = ".matrix";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    return name;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

struct parser {
    parser(std::size_t max, std::vector<std::array<double, 4>>& into) : max_positions(max), scores(into) {}
    std::size_t max_positions;
    std::vector<std::array<double, 4>>& scores;
    std::string error;

    std::size_t line = 0;       // 0-based line being read
    std::size_t positions = 0;  // fields closed so far on this line
    std::size_t first_line_positions = 0;
    enum { letter, bar, field, after_lines } where = letter;
    std::string text;           // the field being read

    bool fail(const std::string& reason) {
        error = "line " + std::to_string(line + 1) + ": " + reason;
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

bool read_matrix_fd(int fd, const std::string& path, std::size_t max_positions, matrix_file& matrix,
                    std::string& error) {
    matrix.name = file_name(path);
    matrix.scores.clear();
    parser p(max_positions, matrix.scores);
    char block[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        if (got == 0) break;
        for (ssize_t i = 0; i < got; ++i) {
            if (!p.take(block[i])) {
                error = path + ": " + p.error;
                return false;
            }
        }
    }
    if (!p.finish()) {
        error = path + ": " + p.error;
        return false;
    }
    return true;
}

bool read_matrix_file(const std::string& path, std::size_t max_positions, matrix_file& matrix, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool read = read_matrix_fd(fd, path, max_positions, matrix, error);
    ::close(fd);
    return read;
}

bool load_matrix(const char* program, const std::string& path, std::size_t max_positions, matrix_file& matrix) {
    std::string error;
    if (!read_matrix_file(path, max_positions, matrix, error)) {
        print_error(program, error);
        return false;
    }
    if (matrix.scores.empty()) {
        print_error(program, path + ": the matrix has no positions");
        return false;
    }
    return true;
}
