#include "regions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "input.h"
#include "parallel_for.h"

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

bool whole_number(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
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
            if (!whole_number(columns[1], r.start)) return fail(number, "start '" + columns[1] + "' is not a whole number");
            if (!whole_number(columns[2], r.end)) return fail(number, "end '" + columns[2] + "' is not a whole number");
            if (r.end < r.start) return fail(number, "end " + columns[2] + " before start " + columns[1]);
            // narrowPeak's tenth column: the summit's offset from the start, -1 for none.
            if (columns.size() >= 10 && columns[9] != "-1") {
                std::int64_t offset;
                if (!whole_number(columns[9], offset)) return fail(number, "summit '" + columns[9] + "' is not a whole number or -1");
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
    }
}

bool check_regions(const genome_file& genome, const std::string& path, std::vector<genome_region>& regions, bool skip,
                   std::size_t& skipped, std::string& error) {
    skipped = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const genome_region& r = regions[i];
        const std::int64_t place = genome.place_of(r.chromosome);
        std::string reason;
        if (place < 0) {
            reason = "chromosome '" + r.chromosome + "' is not in " + genome.path;
        } else if (r.start < 0) {
            reason = region_name(r) + " starts before " + r.chromosome + " does";
        } else if (r.end > genome.chromosomes[static_cast<std::size_t>(place)].second) {
            reason = region_name(r) + " goes past the end of " + r.chromosome + " (" +
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
