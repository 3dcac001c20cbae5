#include "genomic_controls.h"

#include <algorithm>

#include "parallel_for.h"
#include "report.h"
#include "shuffle.h"

int gc_bin(std::int64_t gc, std::int64_t bases) {
    if (bases <= 0) return -1;
    return static_cast<int>(std::min<std::int64_t>(19, gc * 20 / bases));
}

std::vector<genomic_control> gc_matched_controls(const genome_file& genome, const genome_gc& gc,
                                                 const std::vector<genome_region>& targets, std::uint64_t per_target,
                                                 std::uint64_t seed, unsigned threads, std::size_t& undrawn,
                                                 std::uint64_t tries) {
    // A draw is a place among all positions of the genome, chromosome by chromosome.
    std::vector<std::int64_t> ends;
    std::int64_t total = 0;
    for (const auto& chromosome : genome.chromosomes) ends.push_back(total += chromosome.second);
    // The targets in the map's coordinates, merged: no control overlaps them.
    std::vector<std::pair<std::int64_t, std::int64_t>> taken;
    std::vector<std::int64_t> first(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        first[i] = gc.starts[static_cast<std::size_t>(genome.place_of(targets[i].chromosome))] + targets[i].start;
        taken.emplace_back(first[i], first[i] + targets[i].end - targets[i].start);
    }
    std::sort(taken.begin(), taken.end());
    std::vector<std::int64_t> taken_starts, taken_ends;
    for (const auto& [from, to] : taken) {
        if (from == to) continue;
        if (!taken_ends.empty() && from < taken_ends.back()) {
            taken_ends.back() = std::max(taken_ends.back(), to);
        } else {
            taken_starts.push_back(from);
            taken_ends.push_back(to);
        }
    }
    const auto overlaps_target = [&](std::int64_t from, std::int64_t to) {
        const auto k = std::upper_bound(taken_ends.begin(), taken_ends.end(), from) - taken_ends.begin();
        return k < static_cast<std::ptrdiff_t>(taken_starts.size()) && taken_starts[static_cast<std::size_t>(k)] < to;
    };

    std::vector<genomic_control> drawn(checked_product(targets.size(), per_target));
    std::vector<char> found(drawn.size(), 0);
    parallel_for(targets.size(), threads, [&](std::size_t i) {
        const std::int64_t length = targets[i].end - targets[i].start;
        const std::int64_t bases = length - gc.other_count(first[i], first[i] + length);
        const int bin = gc_bin(gc.gc_count(first[i], first[i] + length), bases);
        if (bin < 0 || length > total) return;
        for (std::uint64_t copy = 0; copy < per_target; ++copy) {
            random_bits random(record_seed(seed, i, copy));
            for (std::uint64_t t = 0; t < tries; ++t) {
                const auto place = static_cast<std::int64_t>(random.below(static_cast<std::uint64_t>(total)));
                const auto c = static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), place) - ends.begin());
                const std::int64_t start = place - (ends[c] - genome.chromosomes[c].second);
                if (start + length > genome.chromosomes[c].second) continue;
                const std::int64_t from = gc.starts[c] + start, to = from + length;
                const std::int64_t others = gc.other_count(from, to);
                if (4 * others > length || gc_bin(gc.gc_count(from, to), length - others) != bin || overlaps_target(from, to))
                    continue;
                genome_region& r = drawn[i * per_target + copy].region;
                r.chromosome = genome.chromosomes[c].first;
                r.start = start;
                r.end = start + length;
                drawn[i * per_target + copy].target = i;
                found[i * per_target + copy] = 1;
                break;
            }
        }
    });
    std::vector<genomic_control> controls;
    for (std::size_t k = 0; k < drawn.size(); ++k)
        if (found[k]) controls.push_back(std::move(drawn[k]));
    undrawn = drawn.size() - controls.size();
    return controls;
}
