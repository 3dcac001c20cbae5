// p-values: the distribution of window scores over uniformly random bases,
// by dynamic programming over scores rounded to a fine grid.
#include <algorithm>
#include <cmath>

#include "scan.h"

namespace {

constexpr double finest_step = 0.001;
constexpr double max_cells = double(1 << 21);
constexpr double max_work = 1e8;  // cells times positions: the dynamic programming's cost

}  // namespace

score_grid build_score_grid(const std::vector<std::array<double, 4>>& scores) {
    score_grid grid;
    const std::size_t width = scores.size();
    double spread = 0;
    for (const auto& column : scores)
        spread += *std::max_element(column.begin(), column.end()) - *std::min_element(column.begin(), column.end());
    const double cells = std::min(max_cells, max_work / static_cast<double>(std::max<std::size_t>(width, 1)));
    grid.step = std::max(finest_step, spread / cells);

    // Each column's entries in steps, shifted so the smallest is 0.
    std::int64_t lowest = 0, range = 0;
    grid.cells.resize(width);
    for (std::size_t p = 0; p < width; ++p) {
        double worst = 0;
        for (int b = 0; b < 4; ++b) {
            grid.cells[p][b] = std::llround(scores[p][b] / grid.step);
            worst = std::max(worst, std::fabs(scores[p][b] - grid.step * static_cast<double>(grid.cells[p][b])));
        }
        grid.rounding += worst;
        const auto [low, high] = std::minmax_element(grid.cells[p].begin(), grid.cells[p].end());
        lowest += *low;
        range += *high - *low;
    }

    // probability[x]: chance that the positions so far add up to lowest + x.
    std::vector<double> probability(static_cast<std::size_t>(range) + 1, 0.0), next(probability.size());
    probability[0] = 1;
    std::int64_t reach = 0;  // highest x so far
    for (const auto& column : grid.cells) {
        const std::int64_t low = *std::min_element(column.begin(), column.end());
        std::int64_t high = 0;
        std::fill(next.begin(), next.begin() + reach + 1, 0.0);
        for (int b = 0; b < 4; ++b) high = std::max(high, column[b] - low);
        std::fill(next.begin() + reach + 1, next.begin() + reach + high + 1, 0.0);
        for (int b = 0; b < 4; ++b) {
            const std::int64_t shift = column[b] - low;
            for (std::int64_t x = 0; x <= reach; ++x) next[x + shift] += 0.25 * probability[x];
        }
        reach += high;
        probability.swap(next);
    }

    // Summed from the top, so that small tails keep their precision.
    grid.lowest = lowest;
    grid.tail.resize(probability.size());
    double sum = 0;
    for (std::size_t x = probability.size(); x-- > 0;) {
        sum += probability[x];
        grid.tail[x] = std::min(1.0, sum);
    }
    return grid;
}
