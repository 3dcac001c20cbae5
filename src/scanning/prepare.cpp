// A motif made ready to scan with: its threshold in grid and score terms,
// the steps of its exact check, and the tables of the filter that passes
// over most windows.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "kernels.h"
#include "parallel_for.h"
#include "report.h"

namespace {

// Relative cost of a window that passes the filter (taken out of the mask
// and checked exactly) to one table lookup for one window: a group is worth
// looking up while it saves more survivors than 1 / survivor_cost per window.
constexpr double survivor_cost = 6000;

// The chance of entry `x` of a table of groups of `size`: of its bases in
// sequence of the background's frequencies.
double entry_chance(int x, int size, const base_frequencies& background) {
    double chance = 1;
    for (int k = 0; k < size; ++k) chance *= background[(x >> (2 * k)) & 3];
    return chance;
}

// The table of the group of `length` positions (at most `size`) from
// `start`: its units for every combination of the group's bases (2 bits
// each, the first highest; bases past `length` count nothing), with their
// average over the background (capped past the limit).
std::pair<group_filter::table, double> group_table(const std::vector<std::array<double, 4>>& scaled, int size,
                                                   std::size_t start, std::size_t length,
                                                   const base_frequencies& background) {
    const int entries = 1 << (2 * size);
    std::pair<group_filter::table, double> made{};
    for (int x = 0; x < entries; ++x) {
        double units = 0;
        for (std::size_t k = 0; k < length; ++k) units += scaled[start + k][(x >> (2 * (size - 1 - static_cast<int>(k)))) & 3];
        // Rounded down: a window's units never exceed its true distance below the best.
        made.first.entry[x] = static_cast<std::uint8_t>(std::min(255.0, std::floor(units)));
        made.second += std::min<int>(made.first.entry[x], filter_limit + 1) * entry_chance(x, size, background);
    }
    return made;
}

// Groups of `size` may start anywhere: those that filter best (the most
// units on average) are taken first, each clear of those taken, so that no
// position counts twice; the positions left between them get groups of
// their own.
std::vector<std::pair<std::size_t, std::size_t>> best_first_groups(const std::vector<std::array<double, 4>>& scaled,
                                                                   int size, const base_frequencies& background) {
    const std::size_t width = scaled.size();
    std::vector<std::pair<double, std::size_t>> candidates;
    for (std::size_t start = 0; start < width; ++start)
        candidates.emplace_back(-group_table(scaled, size, start, std::min<std::size_t>(size, width - start), background).second, start);
    std::stable_sort(candidates.begin(), candidates.end());
    std::vector<bool> taken(width, false);
    std::vector<std::pair<std::size_t, std::size_t>> chosen;  // start, length
    for (const auto& [mean, start] : candidates) {
        const std::size_t length = std::min<std::size_t>(size, width - start);
        if (std::any_of(taken.begin() + static_cast<std::ptrdiff_t>(start),
                        taken.begin() + static_cast<std::ptrdiff_t>(start + length), [](bool t) { return t; }))
            continue;
        std::fill(taken.begin() + static_cast<std::ptrdiff_t>(start), taken.begin() + static_cast<std::ptrdiff_t>(start + length), true);
        chosen.emplace_back(start, length);
    }
    for (std::size_t p = 0; p < width;) {
        std::size_t length = 0;
        while (p + length < width && !taken[p + length] && length < static_cast<std::size_t>(size)) ++length;
        if (length > 0) chosen.emplace_back(p, length);
        p += std::max<std::size_t>(length, 1);
    }
    return chosen;
}

// The groups' tables, best filtering first, and how many to look up: the
// number that costs least for a window of random bases, lookups and
// survivors together. Sets `cost` to that cost.
group_filter order_groups(const std::vector<std::array<double, 4>>& scaled, int size,
                          const std::vector<std::pair<std::size_t, std::size_t>>& chosen,
                          const base_frequencies& background, double& cost) {
    const int entries = 1 << (2 * size);
    std::vector<std::tuple<double, std::size_t, group_filter::table>> made;
    for (const auto& [start, length] : chosen) {
        auto [table, mean] = group_table(scaled, size, start, length, background);
        made.emplace_back(-mean, start, table);
    }
    std::stable_sort(made.begin(), made.end(), [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    group_filter groups;
    for (const auto& [mean, start, table] : made) {
        groups.tables.push_back(table);
        groups.offsets.push_back(static_cast<std::uint32_t>(start));
    }
    // The chance that a window of random bases passes the first k groups,
    // units capped one past the limit; look up the k that costs least.
    constexpr std::size_t over = filter_limit + 1;
    std::vector<double> chance(over + 1, 0.0), next(chance.size());
    chance[0] = 1;
    std::size_t reach = 0;  // highest units a window passing so far can have
    cost = 1e300;
    groups.lookups = 1;
    for (std::size_t k = 0; k < std::min<std::size_t>(groups.tables.size(), max_lookups); ++k) {
        std::array<double, over + 1> shares{};
        for (int x = 0; x < entries; ++x)
            shares[std::min<std::size_t>(groups.tables[k].entry[x], over)] += entry_chance(x, size, background);
        std::fill(next.begin(), next.end(), 0.0);
        for (std::size_t v = 0; v <= over; ++v) {
            const double share = shares[v];
            if (share == 0) continue;
            for (std::size_t s = 0; s <= reach; ++s) next[std::min(s + v, over)] += chance[s] * share;
        }
        chance.swap(next);
        reach = std::min<std::size_t>(filter_limit, reach + 255);
        double pass = 0;
        for (std::size_t s = 0; s <= filter_limit; ++s) pass += chance[s];
        const double this_cost = static_cast<double>(k + 1) + survivor_cost * pass;
        if (this_cost < cost) {
            cost = this_cost;
            groups.lookups = k + 1;
        }
        // Another lookup costs more than all the survivors left.
        if (survivor_cost * pass < 1) break;
    }
    return groups;
}

// Of the groups from position 0 on and those taken best first, the cheaper.
group_filter make_groups(const std::vector<std::array<double, 4>>& scaled, int size, const base_frequencies& background) {
    std::vector<std::pair<std::size_t, std::size_t>> in_turn;
    for (std::size_t start = 0; start < scaled.size(); start += static_cast<std::size_t>(size))
        in_turn.emplace_back(start, std::min<std::size_t>(size, scaled.size() - start));
    double turn_cost, best_cost;
    group_filter turn = order_groups(scaled, size, in_turn, background, turn_cost);
    group_filter best = order_groups(scaled, size, best_first_groups(scaled, size, background), background, best_cost);
    return best_cost < turn_cost ? best : turn;
}

// The filter of a strand whose window position k has the scores `scores[k]`,
// with the tables of `loops` (pairs or triples), or both, for windows of
// bases of the background's frequencies as read.
strand_filter make_filter(const std::vector<std::array<double, 4>>& scores, double scale, const scan_kernels* loops,
                          const base_frequencies& background) {
    strand_filter f;
    std::vector<std::array<double, 4>> scaled(scores.size());
    for (std::size_t k = 0; k < scores.size(); ++k) {
        const double best = *std::max_element(scores[k].begin(), scores[k].end());
        for (int b = 0; b < 4; ++b) scaled[k][b] = (best - scores[k][b]) * scale;
    }
    if (!loops || !loops->pairs) f.triples = make_groups(scaled, 3, background);
    if (!loops || loops->pairs) f.pairs = make_groups(scaled, 2, background);
    return f;
}

}  // namespace

std::vector<scan_matrix> prepare_matrices(const std::vector<motif>& motifs, const threshold& wanted, unsigned threads,
                                          const scan_kernels* loops) {
    std::vector<scan_matrix> prepared(motifs.size());
    parallel_for(motifs.size(), threads, [&](std::size_t i) { prepared[i] = prepare_matrix(motifs[i], wanted, loops); });
    return prepared;
}

void warn_coarse_grids(const char* program, const std::vector<scan_matrix>& matrices) {
    std::vector<const std::string*> coarse;
    for (const scan_matrix& m : matrices)
        if (m.grid.step > finest_step) coarse.push_back(&m.name);
    if (coarse.empty()) return;
    if (coarse.size() == 1) {
        print_error(program, "warning: " + *coarse[0] +
                                 ": scores spread too widely for p-values on a grid of 0.001; a coarser one is used");
        return;
    }
    std::string line = "warning: " + std::to_string(coarse.size()) +
                       " motifs' scores spread too widely for p-values on a grid of 0.001; coarser ones are used (";
    for (std::size_t i = 0; i < std::min<std::size_t>(3, coarse.size()); ++i)
        line += (i == 0 ? "" : i + 1 == coarse.size() ? " and " : ", ") + *coarse[i];
    if (coarse.size() > 3) line += " and " + std::to_string(coarse.size() - 3) + " more";
    print_error(program, line + ")");
}

scan_matrix prepare_matrix(const motif& file, const threshold& wanted, const scan_kernels* loops) {
    scan_matrix m;
    m.name = file.id;
    m.scores = file.scores;
    m.width = file.scores.size();
    m.wanted = wanted;

    // The lowest score a reported window can have, and the part of the tail
    // reported windows can need: the grid's shape first (its top only),
    // then the tail from where reported windows can start.
    const score_grid shape = build_score_grid(m.scores, INT64_MAX, wanted.background);
    const std::int64_t highest = shape.lowest + static_cast<std::int64_t>(shape.tail.size()) - 1;
    double min_score = wanted.value;
    if (wanted.by_score) {
        // A window's grid score is within `rounding` of its score over the step.
        const double from = std::floor((wanted.value - shape.rounding) / shape.step) - 1;
        m.grid = build_score_grid(m.scores, from >= static_cast<double>(highest) ? highest
                                            : from <= -9e18                      ? INT64_MIN
                                                                                 : static_cast<std::int64_t>(from),
                                  wanted.background);
    } else {
        m.grid = build_score_grid(m.scores, lowest_cell_within(shape, wanted.value), wanted.background);
        // The tail falls as x rises: report from the first x whose tail is within P.
        const auto first = std::find_if(m.grid.tail.begin(), m.grid.tail.end(), [&](double p) { return p <= wanted.value; });
        m.hopeless = first == m.grid.tail.end();
        m.min_cell = m.grid.lowest + (first - m.grid.tail.begin());
        min_score = m.grid.step * static_cast<double>(m.min_cell) - m.grid.rounding;
    }

    // The exact check's steps fit 32 bits: the grid keeps a motif's whole
    // range within 2^21 steps (and rounding).
    double best = 0, magnitude = std::fabs(min_score) + 1;
    m.steps.assign(m.width, {});
    for (std::size_t p = 0; p < m.width; ++p) {
        const auto& column = m.scores[p];
        best += *std::max_element(column.begin(), column.end());
        for (const double s : column) magnitude = std::max(magnitude, std::fabs(s));
        const std::int64_t low = *std::min_element(m.grid.cells[p].begin(), m.grid.cells[p].end());
        m.lowest_cells += low;
        for (int b = 0; b < 4; ++b) m.steps[p][b] = static_cast<std::int32_t>(m.grid.cells[p][b] - low);
    }
    magnitude *= static_cast<double>(m.width);
    // Far above what rounding can hide in sums of doubles, far below a step.
    const double tolerance = 1e-9 * magnitude;

    // The filter, in units of `scale` below each position's best score;
    // units are rounded down, so a window's units never exceed its true
    // distance below the best window, and a window at the threshold never
    // exceeds units_to_threshold (plus double rounding, far below one unit).
    double budget = best - min_score;
    if (budget < -tolerance) m.hopeless = true;
    budget = std::max(budget, tolerance);
    const double scale = units_to_threshold / budget;
    // On the reverse strand, the window's position k holds the complement
    // of the base at motif position width - 1 - k.
    std::vector<std::array<double, 4>> reverse(m.width);
    for (std::size_t k = 0; k < m.width; ++k)
        for (int b = 0; b < 4; ++b) reverse[k][b] = m.scores[m.width - 1 - k][3 - b];
    // The bases read have the background's frequencies on the strand whose
    // windows the forward filter sees, their complements' on the other.
    base_frequencies read = wanted.background;
    std::reverse(read.begin(), read.end());
    m.forward = make_filter(m.scores, scale, loops, wanted.background);
    m.reverse = make_filter(reverse, scale, loops, read);
    return m;
}
