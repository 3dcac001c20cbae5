// The lines, fields and numbers of motif files, and the motif their counts make.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "motif_parse.h"

motif_lines::motif_lines(input_file& in, std::size_t block_bytes) : input(in), block(std::max<std::size_t>(block_bytes, 1)) {}

bool motif_lines::fill() {
    const long got = read_input(input, block.data(), block.size(), read_failure);
    if (got < 0) return false;
    from = 0;
    to = static_cast<std::size_t>(got);
    at_end = got == 0;
    return true;
}

bool motif_lines::next(std::string& line) {
    if (!pending.empty()) {
        number = pending.front().first;
        last = std::move(pending.front().second);
        pending.pop_front();
        line = last;
        return true;
    }
    last.clear();
    bool any = false;
    for (;;) {
        if (from == to) {
            if (at_end || !fill()) return false;
            if (at_end) {
                if (!any) return false;  // no bytes after the last line feed
                break;
            }
        }
        any = true;
        const char* start = block.data() + from;
        const void* feed = std::memchr(start, '\n', to - from);
        const std::size_t length = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - start) : to - from;
        if (last.size() + length > max_line_bytes) {
            number = read_lines + 1;
            return fail("longer than " + std::to_string(max_line_bytes) + " bytes");
        }
        last.append(start, length);
        from += length;
        if (feed) {
            ++from;
            break;
        }
    }
    if (!last.empty() && last.back() == '\r') last.pop_back();
    number = ++read_lines;
    line = last;
    return true;
}

void motif_lines::replay(const std::vector<std::pair<std::uint64_t, std::string>>& lines) {
    pending.insert(pending.begin(), lines.begin(), lines.end());
}

void motif_lines::put_back() { pending.emplace_front(number, last); }

bool motif_lines::fail(const std::string& reason, std::uint64_t at) {
    error = "line " + std::to_string(at ? at : number) + ": " + reason;
    return false;
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::string quoted(std::string_view text) {
    std::string out(text.substr(0, 40));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    if (text.size() > 40) out += "...";
    return "'" + out + "'";
}

std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && is_blank(line[at])) ++at;
        const std::size_t start = at;
        while (at < line.size() && !is_blank(line[at])) ++at;
        if (at > start) fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

bool is_blank_line(std::string_view line) { return trimmed(line).empty(); }

bool is_comment_or_blank(std::string_view line) {
    const std::string_view text = trimmed(line);
    return text.empty() || text.front() == '#';
}

bool is_line_code(std::string_view field) {
    const auto capital_or_digit = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    return field.size() == 2 && capital_or_digit(field[0]) && capital_or_digit(field[1]);
}

bool looks_numeric(std::string_view field) {
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) field.remove_prefix(1);
    if (!field.empty() && field.front() == '.') field.remove_prefix(1);
    return !field.empty() && field.front() >= '0' && field.front() <= '9';
}

bool read_number(motif_lines& lines, std::string_view field, double& value) {
    const std::string text(field);
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) return lines.fail(quoted(field) + " is not a number");
    if (!std::isfinite(value)) return lines.fail(quoted(field) + " is not a finite number");
    if (value < 0) return lines.fail(quoted(field) + " is negative");
    value += 0.0;  // -0 is 0
    return true;
}

std::string name_after_file(const std::string& path, const std::string& suffix) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const auto drop = [&](const std::string& end) {
        if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
            name.resize(name.size() - end.size());
    };
    drop(".gz");
    drop(suffix);
    return name;
}

std::array<double, 4> scores_from_counts(const std::array<double, 4>& counts, const base_frequencies& background) {
    const double total = counts[0] + counts[1] + counts[2] + counts[3];
    std::array<double, 4> scores{};
    if (total == 0) return scores;
    // As motif_matrix computes it over 0.25 each, before it rounds to single
    // precision: the same operations in the same order, bit for bit.
    for (int b = 0; b < 4; ++b)
        scores[b] = std::log((counts[b] + background[b]) / ((total + 1.0) * background[b]));
    return scores;
}

bool add_counted_motif(motif_lines& lines, parse_context& context, motif m,
                       const std::vector<std::array<double, 4>>& numbers, bool probabilities, std::uint64_t line) {
    if (numbers.empty()) return lines.fail("the motif has no positions", line);
    if (numbers.size() > context.how.max_width)
        return lines.fail("more than " + std::to_string(context.how.max_width) + " positions", line);
    m.scores.reserve(numbers.size());
    m.counts.reserve(numbers.size());
    double most = 0;
    for (std::array<double, 4> counts : numbers) {
        if (probabilities)
            for (double& c : counts) c *= m.sites;
        const double total = counts[0] + counts[1] + counts[2] + counts[3];
        // Counts of up to 2^1023 each can still add up past the double range.
        if (!std::isfinite(total)) return lines.fail("the counts of a position add up past the range of numbers", line);
        most = std::max(most, total);
        m.scores.push_back(scores_from_counts(counts, context.how.background));
        m.counts.push_back(counts);
    }
    if (!probabilities) m.sites = most;
    context.into.push_back(std::move(m));
    return true;
}
