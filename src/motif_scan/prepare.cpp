// A matrix made ready to scan with: its threshold in grid and score terms,
// and the integer tables of the filter that passes over most windows.
#include <algorithm>
#include <cmath>

#include "scan.h"

scan_matrix prepare_matrix(const motif& file, const threshold& wanted) {
    scan_matrix m;
    m.name = file.id;
    m.scores = file.scores;
    m.width = file.scores.size();
    m.wanted = wanted;
    m.grid = build_score_grid(m.scores);
    const std::int64_t highest = m.grid.lowest + static_cast<std::int64_t>(m.grid.tail.size()) - 1;

    // The lowest score a reported window can have, and the part of the tail
    // reported windows can need.
    double min_score = wanted.value;
    std::int64_t keep_from = m.grid.lowest;
    if (wanted.by_score) {
        // A window's grid score is within `rounding` of its score over the step.
        const double from = std::floor((wanted.value - m.grid.rounding) / m.grid.step) - 1;
        keep_from = from <= static_cast<double>(m.grid.lowest) ? m.grid.lowest
                    : from >= static_cast<double>(highest) ? highest
                                                           : static_cast<std::int64_t>(from);
    } else {
        // The tail falls as x rises: report from the first x whose tail is within P.
        const auto first = std::find_if(m.grid.tail.begin(), m.grid.tail.end(), [&](double p) { return p <= wanted.value; });
        m.hopeless = first == m.grid.tail.end();
        m.min_cell = m.grid.lowest + (first - m.grid.tail.begin());
        keep_from = std::min(m.min_cell, highest);
        min_score = m.grid.step * static_cast<double>(m.min_cell) - m.grid.rounding;
    }
    // Only the part kept is held: with many matrices, whole tails add up.
    m.grid.tail = std::vector<double>(m.grid.tail.begin() + (keep_from - m.grid.lowest), m.grid.tail.end());
    m.grid.lowest = keep_from;

    // The filter, in units of `scale` below each position's best entry;
    // entries are rounded down, so a window's units never exceed its true
    // distance below the best window, and a window at the threshold never
    // exceeds units_to_threshold (plus double rounding, far below one unit).
    double best = 0, magnitude = std::fabs(min_score) + 1;
    for (const auto& column : m.scores) {
        best += *std::max_element(column.begin(), column.end());
        for (const double s : column) magnitude = std::max(magnitude, std::fabs(s));
    }
    magnitude *= static_cast<double>(m.width);
    const double tolerance = 1e-9 * magnitude;
    double budget = best - min_score;
    if (budget < -tolerance) m.hopeless = true;
    budget = std::max(budget, tolerance);
    const double scale = units_to_threshold / budget;
    m.forward_deficits.assign(m.width, {});
    m.reverse_deficits.assign(m.width, {});
    for (std::size_t p = 0; p < m.width; ++p) {
        const auto& column = m.scores[p];
        const double column_best = *std::max_element(column.begin(), column.end());
        auto& forward = m.forward_deficits[p];
        forward.fill(255);  // any byte but A, C, G, T: the window is never reported
        for (int b = 0; b < 4; ++b)
            forward[b] = static_cast<std::uint8_t>(std::min(255.0, std::floor((column_best - column[b]) * scale)));
    }
    // On the reverse strand, the window's position k holds the complement
    // of the base at matrix position width - 1 - k.
    for (std::size_t k = 0; k < m.width; ++k) {
        auto& reverse = m.reverse_deficits[k];
        reverse.fill(255);
        for (int b = 0; b < 4; ++b) reverse[b] = m.forward_deficits[m.width - 1 - k][3 - b];
    }
    return m;
}
