// A window's exact score and grid score. The filter lets few windows through
// besides those that reach the threshold (at most about as many again), so
// every position is added up without stopping early: no branch to guess.
#include "scanning.h"

bool check_window(const scan_matrix& m, const std::uint8_t* codes, bool minus, double& score, std::int64_t& cell) {
    // On the reverse strand position p of the motif meets the complement of
    // the window's base width - 1 - p.
    const auto base = [&](std::size_t q) { return minus ? 3u - codes[m.width - 1 - q] : codes[q]; };
    std::int64_t steps = 0;
    for (std::size_t q = 0; q < m.width; ++q) steps += m.steps[q][base(q)];
    cell = m.lowest_cells + steps;
    if (!m.wanted.by_score && cell < m.min_cell) return false;
    // The score summed in double precision in the motif's position order.
    score = 0;
    for (std::size_t q = 0; q < m.width; ++q) score += m.scores[q][base(q)];
    return !m.wanted.by_score || score >= m.wanted.value;
}
