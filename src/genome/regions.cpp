#include "regions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "input.h"
#include "parallel_for.h"
#include "report.h"

namespace {

std::vector<std::string> columns_of(const std::string& line) {
    // BED is tab-separated; a line without tabs may be split by blanks.
    const char* separators = line.find('\t') != std::string::npos ? "\t" : " \t";
    std::vector<std::string> columns;
    std::size_t at = 0;
    while (at <= line.size()) {
        const std::size_t end = std::min(line.find_first_of(separators, at), line.size());
        if (end > at || separators[0] == '\t') columns.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return columns;
}

// A coordinate: a whole number below 10^18; or why it is not one.
std::string coordinate(const std::string& text, std::int64_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t sign = negative ? 1 : 0;
    if (text.size() == sign || text.find_first_not_of("0123456789", sign) != std::string::npos)
        return "'" + cut_name(text) + "' is not a whole number";
    if (negative) return cut_name(text) + " is negative";
    const std::size_t digits = text.size() - std::min(text.find_first_not_of('0'), text.size());
    if (digits > 18) return cut_name(text) + " is too large (at most 18 digits)";
    value = std::strtoll(text.c_str(), nullptr, 10);
    return "";
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool starts_word(const std::string& line, const char* word) {
    const std::size_t n = std::char_traits<char>::length(word);
    return line.compare(0, n, word) == 0 && (line.size() == n || line[n] == ' ' || line[n] == '\t');
}

}  // namespace

bool read_regions(const std::string& path, std::vector<genome_region>& regions, std::string& error) {
    input_file input;
    if (!open_input(path, input, error)) return false;
    const std::string name = input.name;
    const bool narrow_peak = ends_with(path, ".narrowPeak") || ends_with(path, ".narrowPeak.gz");
    const auto fail = [&](std::uint64_t line, const std::string& reason) {
        error = name + ": line " + std::to_string(line) + ": " + reason;
        close_input(input);
        return false;
    };
    std::vector<char> block(1 << 16);
    std::string line;
    std::uint64_t number = 0;
    bool more = true;
    while (more) {
        const long got = read_input(input, block.data(), block.size(), error);
        if (got < 0) {
            close_input(input);
            return false;
        }
        more = got > 0;
        std::size_t from = 0;
        const auto size = static_cast<std::size_t>(got);
        while (from < size || (!more && !line.empty())) {
            std::size_t end = from;
            while (end < size && block[end] != '\n') ++end;
            line.append(block.data() + from, end - from);
            if (end == size && more) break;  // the line goes on in the next block
            from = end + 1;
            ++number;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#' || starts_word(line, "track") ||
                starts_word(line, "browser")) {
                line.clear();
                continue;
            }
            const std::vector<std::string> columns = columns_of(line);
            line.clear();
            if (columns.size() < 3) return fail(number, std::to_string(columns.size()) + " columns, not the 3 of BED at least");
            genome_region r;
            r.chromosome = columns[0];
            r.line = number;
            if (r.chromosome.empty()) return fail(number, "no chromosome");
            std::string wrong = coordinate(columns[1], r.start);
            if (!wrong.empty()) return fail(number, "start " + wrong);
            if (!(wrong = coordinate(columns[2], r.end)).empty()) return fail(number, "end " + wrong);
            if (r.end < r.start) return fail(number, "end " + cut_name(columns[2]) + " before start " + cut_name(columns[1]));
            r.given_start = r.start;
            r.given_end = r.end;
            // narrowPeak's tenth column: the summit's offset from the start, -1 for none.
            if ((columns.size() == 10 || (narrow_peak && columns.size() >= 10)) && columns[9] != "-1") {
                std::int64_t offset;
                if (!coordinate(columns[9], offset).empty())
                    return fail(number, "summit '" + cut_name(columns[9]) + "' is not a whole number or -1");
                if (offset >= r.end - r.start) return fail(number, "summit " + columns[9] + " past the region's end");
                r.summit = r.start + offset;
            }
            regions.push_back(r);
        }
    }
    close_input(input);
    return true;
}

void centre_regions(std::vector<genome_region>& regions, std::int64_t width) {
    for (genome_region& r : regions) {
        const std::int64_t centre = r.summit >= 0 ? r.summit : (r.start + r.end) / 2;
        r.start = centre - width / 2;
        r.end = r.start + width;
        r.centred = true;
    }
}

std::size_t drop_empty_regions(std::vector<genome_region>& regions, const std::string& path, std::string& first) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        if (regions[i].start == regions[i].end) {
            if (first.empty()) first = path + ": line " + std::to_string(regions[i].line);
            continue;
        }
        if (kept != i) regions[kept] = std::move(regions[i]);
        ++kept;
    }
    const std::size_t dropped = regions.size() - kept;
    regions.resize(kept);
    return dropped;
}

bool check_regions(const genome_file& genome, const std::string& path, std::vector<genome_region>& regions, bool skip,
                   std::size_t& skipped, std::string& error) {
    skipped = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const genome_region& r = regions[i];
        const std::int64_t place = genome.place_of(r.chromosome);
        // A centred region is named by its line as written, as users know it.
        const auto named = [&r]() {
            const std::string chromosome = cut_name(r.chromosome);
            return r.centred ? chromosome + " " + std::to_string(r.given_start) + " " + std::to_string(r.given_end) + " centred, " +
                                   std::to_string(r.end - r.start) + " bases,"
                             : chromosome + ":" + std::to_string(r.start) + "-" + std::to_string(r.end);
        };
        std::string reason;
        if (place < 0) {
            reason = "chromosome '" + cut_name(r.chromosome) + "' is not in " + genome.path;
        } else if (r.start < 0) {
            reason = named() + " starts before " + cut_name(r.chromosome) + " does";
        } else if (r.end > genome.chromosomes[static_cast<std::size_t>(place)].second) {
            reason = named() + " goes past the end of " + cut_name(r.chromosome) + " (" +
                     std::to_string(genome.chromosomes[static_cast<std::size_t>(place)].second) + ")";
        }
        if (reason.empty()) {
            if (kept != i) regions[kept] = regions[i];
            ++kept;
            continue;
        }
        if (skipped++ == 0) error = path + ": line " + std::to_string(r.line) + ": " + reason;
        if (!skip) return false;
    }
    regions.resize(kept);
    return true;
}

std::vector<genome_region> merged_regions(const genome_file& genome, std::vector<genome_region> regions) {
    std::sort(regions.begin(), regions.end(), [&](const genome_region& a, const genome_region& b) {
        const std::int64_t pa = genome.place_of(a.chromosome), pb = genome.place_of(b.chromosome);
        return pa != pb ? pa < pb : a.start != b.start ? a.start < b.start : a.end < b.end;
    });
    std::vector<genome_region> merged;
    for (const genome_region& r : regions) {
        if (!merged.empty() && merged.back().chromosome == r.chromosome && r.start <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, r.end);
        } else {
            merged.push_back(r);
        }
    }
    return merged;
}

std::string region_name(const genome_region& region) {
    return region.chromosome + ":" + std::to_string(region.start) + "-" + std::to_string(region.end);
}

bool fetch_regions(const genome_file& genome, const std::vector<genome_region>& regions, unsigned threads,
                   std::vector<std::string>& bases, std::string& error) {
    std::vector<std::size_t> order(regions.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::vector<std::int64_t> place(regions.size());
    for (std::size_t i = 0; i < regions.size(); ++i) place[i] = genome.place_of(regions[i].chromosome);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return place[a] != place[b] ? place[a] < place[b] : regions[a].start < regions[b].start;
    });
    bases.assign(regions.size(), std::string());
    threads = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, regions.size() / 64)));
    std::vector<std::string> errors(threads);
    // Each thread a run of regions in order: neighbours share bgzip blocks.
    parallel_for(threads, threads, [&](std::size_t t) {
        genome_file own;
        if (!open_genome(genome.path, own, errors[t])) return;
        for (std::size_t k = order.size() * t / threads; k < order.size() * (t + 1) / threads; ++k) {
            const genome_region& r = regions[order[k]];
            if (!fetch_bases(own, r.chromosome, r.start, r.end, bases[order[k]], errors[t])) return;
        }
    });
    for (const std::string& e : errors)
        if (!e.empty()) {
            error = e;
            return false;
        }
    return true;
}
