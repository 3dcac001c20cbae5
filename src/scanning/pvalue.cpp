// p-values: the distribution of window scores over random bases drawn
// independently with the background's frequencies,
// by dynamic programming over scores rounded to a fine grid. Only the top of
// the distribution is ever needed (p-values of reported windows), so only
// the partial sums that can still reach it are followed: a band as wide as
// the distance from the threshold to the best window, not the whole range.
#include <algorithm>
#include <cmath>

#include "scanning.h"

namespace {

constexpr double max_cells = double(1 << 21);
constexpr double max_work = 1e8;  // cells times positions: the dynamic programming's cost
constexpr std::int64_t coarse_cells = 256;

// The chance of each sum of `shifts` (per position, each base's value, at
// least 0) over random bases of the background's frequencies, for the sums
// from `from` up: the band [lo, reach] after each position, lo the least
// that can still reach `from`. Returns the probabilities of sums
// from..highest.
std::vector<double> top_of_distribution(const std::vector<std::array<std::int64_t, 4>>& shifts, std::int64_t from,
                                        const base_frequencies& background) {
    const std::size_t width = shifts.size();
    std::vector<std::int64_t> most(width), after(width + 1, 0);
    for (std::size_t p = 0; p < width; ++p) most[p] = *std::max_element(shifts[p].begin(), shifts[p].end());
    for (std::size_t p = width; p-- > 0;) after[p] = after[p + 1] + most[p];
    std::vector<double> probability = {1.0}, next;
    std::int64_t lo = 0, reach = 0;
    for (std::size_t p = 0; p < width; ++p) {
        const std::int64_t next_lo = std::max<std::int64_t>(0, from - after[p + 1]), next_reach = reach + most[p];
        next.assign(static_cast<std::size_t>(next_reach - next_lo + 1), 0.0);
        // Base by base over the whole band, as the full distribution adds them.
        for (int b = 0; b < 4; ++b) {
            const std::int64_t shift = shifts[p][b];
            const double chance = background[b];
            for (std::int64_t x = std::max(lo, next_lo - shift); x <= reach; ++x)
                next[static_cast<std::size_t>(x + shift - next_lo)] += chance * probability[static_cast<std::size_t>(x - lo)];
        }
        probability.swap(next);
        lo = next_lo;
        reach = next_reach;
    }
    return std::vector<double>(probability.begin() + (std::max(from, lo) - lo), probability.end());
}

}  // namespace

score_grid build_score_grid(const std::vector<std::array<double, 4>>& scores, std::int64_t from,
                            const base_frequencies& background) {
    score_grid grid;
    grid.background = background;
    const std::size_t width = scores.size();
    double spread = 0;
    for (const auto& column : scores)
        spread += *std::max_element(column.begin(), column.end()) - *std::min_element(column.begin(), column.end());
    const double cells = std::min(max_cells, max_work / static_cast<double>(std::max<std::size_t>(width, 1)));
    grid.step = std::max(finest_step, spread / cells);

    // Each position's scores in steps, and shifted so the smallest is 0.
    std::int64_t lowest = 0, range = 0;
    grid.cells.resize(width);
    std::vector<std::array<std::int64_t, 4>> shifts(width);
    for (std::size_t p = 0; p < width; ++p) {
        double worst = 0;
        for (int b = 0; b < 4; ++b) {
            grid.cells[p][b] = std::llround(scores[p][b] / grid.step);
            worst = std::max(worst, std::fabs(scores[p][b] - grid.step * static_cast<double>(grid.cells[p][b])));
        }
        grid.rounding += worst;
        const auto [low, high] = std::minmax_element(grid.cells[p].begin(), grid.cells[p].end());
        for (int b = 0; b < 4; ++b) shifts[p][b] = grid.cells[p][b] - *low;
        lowest += *low;
        range += *high - *low;
    }

    // Summed from the top, so that small tails keep their precision.
    const std::int64_t kept_from = from > lowest + range ? range : from > lowest ? from - lowest : 0;
    const std::vector<double> probability = top_of_distribution(shifts, kept_from, background);
    grid.lowest = lowest + kept_from;
    grid.tail.resize(probability.size());
    double sum = 0;
    for (std::size_t x = probability.size(); x-- > 0;) {
        sum += probability[x];
        grid.tail[x] = std::min(1.0, sum);
    }
    return grid;
}

std::int64_t lowest_cell_within(const score_grid& shape, double p) {
    // Each position's steps above its lowest, divided by `factor` and
    // rounded down: a window's coarse sum times factor is at most its own,
    // so where the coarse tail exceeds p, so does the fine one below it.
    std::int64_t range = 0;
    for (const auto& cells : shape.cells) range += *std::max_element(cells.begin(), cells.end()) - *std::min_element(cells.begin(), cells.end());
    const std::int64_t factor = std::max<std::int64_t>(1, range / coarse_cells);
    std::vector<std::array<std::int64_t, 4>> coarse(shape.cells.size());
    std::int64_t lowest = 0;
    for (std::size_t q = 0; q < shape.cells.size(); ++q) {
        const std::int64_t low = *std::min_element(shape.cells[q].begin(), shape.cells[q].end());
        lowest += low;
        for (int b = 0; b < 4; ++b) coarse[q][b] = (shape.cells[q][b] - low) / factor;
    }
    const std::vector<double> probability = top_of_distribution(coarse, 0, shape.background);
    // The highest coarse sum whose tail is surely above p (rounding in the
    // sums is far below the margin).
    double tail = 0;
    for (std::size_t y = probability.size(); y-- > 0;) {
        tail += probability[y];
        if (tail > p * (1 + 1e-6)) return lowest + factor * static_cast<std::int64_t>(y);
    }
    return lowest;
}
