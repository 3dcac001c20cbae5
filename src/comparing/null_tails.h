// The null model of a query's alignments: each query column's similarity
// to a column drawn uniformly from the targets' columns (both
// orientations), and the tails of sums of independent such draws, exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How many target columns have each similarity to one query column.
struct column_null {
    int lowest = 0, highest = 0;     // the least and the greatest similarity with any count
    std::vector<double> probability; // of lowest, lowest + 1, ..., highest
};

// A tail wanted: log P(S >= score) for S the sum of draws for the query
// columns [from, to).
struct tail_request {
    std::size_t from, to;
    std::int64_t score;
    double log_tail = 0;  // natural log; set by exact_log_tails
};

// Every request's tail, to about 1e-10 relative: near the top of the
// distribution by dense convolution over the partial sums that can still
// reach the score, below it by fast Fourier transforms of the columns'
// distributions tilted by e^(theta x) so that the score lies in their
// bulk, where the transform's rounding is small against the values summed.
// A tail whose error estimate is too large is worked out densely instead.
void exact_log_tails(const std::vector<column_null>& columns, std::vector<tail_request>& requests);

// log P(S >= s) for every s from `least` to the highest sum of the columns
// [from, to), by dense convolution (the plain way, also the reference).
std::vector<double> dense_log_tails(const std::vector<column_null>& columns, std::size_t from, std::size_t to,
                                    std::int64_t least);

// Bounds on every tail of every run of columns, from sums of similarities
// rounded down to a coarse step: h = floor(x / step) per column and H their
// sum, step x H <= S < step x H + L x step, so P(H >= ceil(s / step)) and
// P(H >= ceil((s - L (step - 1)) / step)) bound P(S >= s) from below and
// above. Cheap enough for every alignment of every pair.
struct coarse_bounds {
    coarse_bounds(const std::vector<column_null>& columns, int step);
    // Natural logs of the bounds on P(S >= s) for the columns [from, to).
    void bounds(std::size_t from, std::size_t to, std::int64_t s, double& low, double& high) const;

  private:
    struct run {
        std::int64_t lowest = 0;         // coarse sum of log_tail[0]
        std::vector<double> log_tail;    // log P(H >= lowest + i)
    };
    const run& of(std::size_t from, std::size_t to) const { return runs[from * width + to - 1]; }
    double log_tail_at(const run& r, std::int64_t h) const;

    int step;
    std::size_t width;
    std::vector<run> runs;  // [from][to - 1]
};
