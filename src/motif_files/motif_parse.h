// What the motif format parsers share: the file's lines, its numbers and
// the motif they make. Internal to the motif reader.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input.h"
#include "motif.h"

// The lines of a motif file, plain or gzip, in blocks: each without its line
// feed and a trailing carriage return. Lines read ahead may be put back.
struct motif_lines {
    motif_lines(input_file& in, std::size_t block_bytes);

    // The next line; false at the end of the file or on a failure (then
    // `error` is set, "line N: reason", or `read_failure`, a whole line).
    bool next(std::string& line);
    // The lines given come again, in order, before the rest.
    void replay(const std::vector<std::pair<std::uint64_t, std::string>>& lines);
    // The line last returned comes again next.
    void put_back();
    // Sets error to "line N: reason" and returns false, N being `at` or,
    // if 0, the line last returned.
    bool fail(const std::string& reason, std::uint64_t at = 0);

    std::uint64_t number = 0;  // of the line last returned, from 1
    std::string last;          // the line last returned
    std::string error, read_failure;

  private:
    bool fill();

    input_file& input;
    std::vector<char> block;
    std::size_t from = 0, to = 0;
    bool at_end = false;
    std::uint64_t read_lines = 0;
    std::deque<std::pair<std::uint64_t, std::string>> pending;
};

// A line longer than this is refused: no motif file needs one, and a
// sequence file given by mistake is stopped early.
inline constexpr std::size_t max_line_bytes = 1 << 24;

// What a parser needs beyond the lines.
struct parse_context {
    std::string path;          // for motifs named after their file
    const motif_reading& how;
    std::vector<motif>& into;
    std::string warning;       // "line N: ..." of a file read all the same
};

// Text from a file for an error: in quotes, control bytes as '?', cut
// after 40 bytes.
std::string quoted(std::string_view text);

// The fields of a line between blanks (space, tab, CR, VT, FF).
std::vector<std::string_view> fields_of(std::string_view line);
std::string_view trimmed(std::string_view text);
bool is_blank_line(std::string_view line);
// Blank lines and lines starting with '#' hold nothing.
bool is_comment_or_blank(std::string_view line);
// Whether a field is a two-letter TRANSFAC code: capitals or digits.
bool is_line_code(std::string_view field);
// Whether a field reads as a number (the start of a row of numbers).
bool looks_numeric(std::string_view field);

// A count or probability: a finite number of at least 0. Otherwise fails
// the line with the reason.
bool read_number(motif_lines& lines, std::string_view field, double& value);

// The file's name without its folder and a trailing ".gz", then `suffix`.
std::string name_after_file(const std::string& path, const std::string& suffix);

// Appends a motif of per-position counts (probabilities times `sites`
// where `probabilities`), refusing width 0 or past the limit at `line`.
bool add_counted_motif(motif_lines& lines, parse_context& context, motif m,
                       const std::vector<std::array<double, 4>>& numbers, bool probabilities, std::uint64_t line);

bool parse_matrix(motif_lines& lines, parse_context& context);
bool parse_jaspar(motif_lines& lines, parse_context& context);
bool parse_meme(motif_lines& lines, parse_context& context);
bool parse_transfac(motif_lines& lines, parse_context& context);
bool parse_homer(motif_lines& lines, parse_context& context);
