#include "null_tails.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

#include "fft.h"
#include "fft_passes.h"

namespace {

constexpr double minus_infinity = -std::numeric_limits<double>::infinity();

// Scores this close to the top of their distribution are summed densely:
// the band of partial sums that can reach them is narrow, so that is as
// cheap as a transform, and exact.
constexpr std::int64_t dense_band = 300;

// A tail is taken from a transform when its estimated error is below this
// share of it.
constexpr double tolerance = 1e-10;

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
std::int64_t ceil_div(std::int64_t a, std::int64_t b) { return -floor_div(-a, b); }

// A distribution over consecutive integers from `lowest`, kept scaled so
// that its largest value is 1: the probabilities are value x e^log_scale.
struct scaled_distribution {
    std::int64_t lowest = 0;
    std::vector<double> value{1.0};
    double log_scale = 0;
};

// Adds a draw of probability p[v - lowest] for v in [lowest, highest],
// keeping only the sums from `keep_from` up (those that can still reach the
// scores wanted).
void add_draw(scaled_distribution& d, const double* p, std::int64_t lowest, std::int64_t highest,
              std::int64_t keep_from, std::vector<double>& next) {
    const std::int64_t d_high = d.lowest + static_cast<std::int64_t>(d.value.size()) - 1;
    const std::int64_t low = std::max(d.lowest + lowest, keep_from), high = d_high + highest;
    next.assign(static_cast<std::size_t>(std::max<std::int64_t>(high - low + 1, 0)), 0.0);
    for (std::int64_t v = lowest; v <= highest; ++v) {
        const double pv = p[v - lowest];
        if (pv == 0) continue;
        const std::int64_t from = std::max(d.lowest, low - v);
        double* out = next.data() + (from + v - low);
        const double* in = d.value.data() + (from - d.lowest);
        for (std::int64_t k = 0; k <= d_high - from; ++k) out[k] += pv * in[k];
    }
    d.lowest = low;
    d.value.swap(next);
    const double most = d.value.empty() ? 0 : *std::max_element(d.value.begin(), d.value.end());
    if (most > 0) {
        for (double& v : d.value) v /= most;
        d.log_scale += std::log(most);
    }
}

// The tilts the transforms try: 0, then from 1e-5 up by factors of sqrt 2
// to about 0.1, where a column's top value alone outweighs the rest.
struct tilt_table {
    static constexpr int count = 28;
    double theta[count];
    std::vector<double> factor[count];  // factor[k][j] = e^(-theta_k j), j up to the widest spread
};

const tilt_table& tilts() {
    static const tilt_table table = [] {
        tilt_table t;
        for (int k = 0; k < tilt_table::count; ++k) {
            t.theta[k] = k == 0 ? 0 : 1e-5 * std::pow(2.0, (k - 1) / 2.0);
            t.factor[k].resize(2001);
            for (std::size_t j = 0; j < t.factor[k].size(); ++j) t.factor[k][j] = std::exp(-t.theta[k] * static_cast<double>(j));
        }
        return t;
    }();
    return table;
}

// A column's distribution tilted by e^(theta (x - highest)): its total,
// mean and variance. They only choose the tilt (the error estimate guards
// each tail), and the total only has to be the one the transform divides
// by, so they are taken from values summed in bins of 8.
struct tilted_moments {
    double log_total, mean, variance;
};

tilted_moments moments_of(const column_null& c, int k) {
    constexpr std::size_t bin = 8;
    const std::vector<double>& factor = tilts().factor[k];
    double total = 0, first = 0, second = 0;
    const std::size_t spread = c.probability.size() - 1;
    for (std::size_t from = 0; from <= spread; from += bin) {
        double weight = 0;
        for (std::size_t j = from; j < std::min(from + bin, spread + 1); ++j) weight += c.probability[spread - j];
        const std::size_t middle = std::min(from + bin / 2, spread);
        const double w = weight * factor[middle];
        total += w;
        first += w * static_cast<double>(middle);
        second += w * static_cast<double>(middle) * static_cast<double>(middle);
    }
    const double below = first / total;
    return {std::log(total), c.highest - below, std::max(0.0, second / total - below * below)};
}

std::size_t power_of_two_above(std::int64_t n) {
    std::size_t size = 4;
    while (static_cast<std::int64_t>(size) < n) size *= 2;
    return size;
}

void dense_answers(const std::vector<column_null>& columns, std::vector<tail_request>& requests,
                   const std::vector<std::size_t>& which) {
    // One dense pass per run of columns, down to its lowest score.
    std::map<std::pair<std::size_t, std::size_t>, std::vector<std::size_t>> by_run;
    for (const std::size_t i : which) by_run[{requests[i].from, requests[i].to}].push_back(i);
    for (const auto& [run, members] : by_run) {
        std::int64_t least = requests[members[0]].score;
        for (const std::size_t i : members) least = std::min(least, requests[i].score);
        const std::vector<double> log_tails = dense_log_tails(columns, run.first, run.second, least);
        for (const std::size_t i : members) requests[i].log_tail = log_tails[static_cast<std::size_t>(requests[i].score - least)];
    }
}

}  // namespace

std::vector<double> dense_log_tails(const std::vector<column_null>& columns, std::size_t from, std::size_t to,
                                    std::int64_t least) {
    std::vector<std::int64_t> remaining(to - from + 1, 0);  // highest sum of the columns after each
    for (std::size_t k = to; k-- > from;) remaining[k - from] = remaining[k - from + 1] + columns[k].highest;
    const std::int64_t top = remaining[0];
    if (least > top) return {};
    scaled_distribution d;
    std::vector<double> next;
    for (std::size_t k = from; k < to; ++k)
        add_draw(d, columns[k].probability.data(), columns[k].lowest, columns[k].highest, least - remaining[k - from + 1], next);
    // Sums below d.lowest cannot occur, or were not kept because they are below `least`.
    std::vector<double> log_tails(static_cast<std::size_t>(top - least + 1), 0.0);
    double above = 0;
    for (std::int64_t s = top; s >= std::max(least, d.lowest); --s) {
        above += d.value[static_cast<std::size_t>(s - d.lowest)];
        log_tails[static_cast<std::size_t>(s - least)] = std::min(0.0, d.log_scale + std::log(above));
    }
    return log_tails;
}

namespace {

// Each column's tilted moments, worked out when first asked for.
struct moment_cache {
    explicit moment_cache(const std::vector<column_null>& c) : columns(c), table(c.size()) {}
    const tilted_moments& at(std::size_t column, int k) {
        if (table[column].empty())
            for (int t = 0; t < tilt_table::count; ++t) table[column].push_back(moments_of(columns[column], t));
        return table[column][static_cast<std::size_t>(k)];
    }
    const std::vector<column_null>& columns;
    std::vector<std::vector<tilted_moments>> table;
};

// Requests grouped by tilt, then run of columns.
using tilt_groups = std::map<std::pair<int, std::pair<std::size_t, std::size_t>>, std::vector<std::size_t>>;

// Answers each group's requests from its run's tilted distribution, by
// transforms; those whose error estimate is too large go to `failed`.
void answer_by_transform(const std::vector<column_null>& columns, moment_cache& moments, const tilt_groups& groups,
                         std::vector<tail_request>& requests, std::vector<std::size_t>& failed) {
    const tilt_table& table = tilts();
    const fft_passes& passes = best_fft_passes();
    thread_local std::map<std::size_t, std::unique_ptr<real_fft>> transforms;
    const auto transform_of = [&](std::size_t n) -> const real_fft& {
        std::unique_ptr<real_fft>& t = transforms[n];
        if (!t) t = std::make_unique<real_fft>(n);
        return *t;
    };
    // Kept from call to call: large buffers freed each time would come
    // back as fresh pages, zeroed by the system, for every query.
    thread_local std::vector<double> input, sums, above;
    thread_local spectrum product;
    thread_local std::vector<spectrum> spectra;
    thread_local std::vector<std::size_t> slot_of;  // column -> its spectrum in `spectra`
    std::size_t product_from = 0, product_to = 0, product_length = 0;  // the run and transform length of `product`
    for (auto group = groups.begin(); group != groups.end();) {
        // One tilt's groups. A transform of a zero-padded sequence of
        // length n is, in the slots' order, the first n/2 slots and the
        // last of its transform of length 2n: each column is transformed
        // once, as long as its longest run needs.
        const int k = group->first.first;
        const double theta = table.theta[k];
        product_length = 0;
        auto end = group;
        std::map<std::size_t, std::size_t> longest;  // column -> transform length
        for (; end != groups.end() && end->first.first == k; ++end) {
            const auto [from, to] = end->first.second;
            std::int64_t spread = 1;
            for (std::size_t c = from; c < to; ++c) spread += columns[c].highest - columns[c].lowest;
            for (std::size_t c = from; c < to; ++c) longest[c] = std::max(longest[c], power_of_two_above(spread));
        }
        if (spectra.size() < longest.size()) spectra.resize(longest.size());
        slot_of.resize(columns.size());
        std::size_t used = 0;
        for (const auto& [c, n] : longest) {
            const column_null& column = columns[c];
            const double total = std::exp(moments.at(c, k).log_total);
            const std::size_t spread = column.probability.size() - 1;
            input.assign(n, 0.0);
            for (std::size_t j = 0; j <= spread; ++j) input[j] = column.probability[j] * table.factor[k][spread - j] / total;
            slot_of[c] = used;
            transform_of(n).forward(input.data(), spectra[used++]);
        }
        for (; group != end; ++group) {
            const auto [from, to] = group->first.second;
            const std::vector<std::size_t>& members = group->second;
            std::int64_t top = 0, bottom = 0;
            double log_totals = 0;
            for (std::size_t c = from; c < to; ++c) {
                top += columns[c].highest;
                bottom += columns[c].lowest;
                log_totals += moments.at(c, k).log_total;
            }
            const std::size_t n = power_of_two_above(top - bottom + 1), half = n / 2;
            // Runs come in order: one from the same column with as long a
            // transform extends the last product.
            std::size_t c = from;
            if (from == product_from && n == product_length && to >= product_to) {
                c = product_to;
            } else {
                product.re.assign(half + 1, 1.0);
                product.im.assign(half + 1, 0.0);
            }
            product_from = from;
            product_to = to;
            product_length = n;
            for (; c < to; ++c) {
                const spectrum& factor = spectra[slot_of[c]];
                const std::size_t last = factor.re.size() - 1;
                passes.multiply(product.re.data(), product.im.data(), factor.re.data(), factor.im.data(), half);
                const double a = product.re[half], b = product.im[half], x = factor.re[last], y = factor.im[last];
                product.re[half] = a * x - b * y;
                product.im[half] = a * y + b * x;
            }
            sums.resize(n);
            transform_of(n).inverse(product, sums.data());

            // The transform's rounding, per value: a few units of the last
            // place of the values' root-mean-square size for each step.
            double squares = 0;
            for (std::int64_t x = 0; x <= top - bottom; ++x)
                squares += sums[static_cast<std::size_t>(x)] * sums[static_cast<std::size_t>(x)];
            const double per_value = 8 * std::numeric_limits<double>::epsilon() *
                                     (std::log2(static_cast<double>(n)) + static_cast<double>(to - from) + 2) *
                                     std::sqrt(squares);
            const double decay = std::exp(-theta);
            std::int64_t least = requests[members[0]].score;
            for (const std::size_t i : members) least = std::min(least, requests[i].score);
            // U(s) = sum over x >= s of sums(x) e^(-theta (x - s)), from the top down.
            above.resize(static_cast<std::size_t>(top - least + 1));
            double u = 0;
            for (std::int64_t s = top; s >= least; --s) {
                u = sums[static_cast<std::size_t>(s - bottom)] + decay * u;
                above[static_cast<std::size_t>(s - least)] = u;
            }
            for (const std::size_t i : members) {
                const std::int64_t s = requests[i].score;
                const double value = above[static_cast<std::size_t>(s - least)];
                // The terms' rounding errors are of either sign, and add up
                // like a random walk's steps.
                const double terms = theta > 0 ? std::min(static_cast<double>(top - s + 1), 1 / -std::expm1(-theta))
                                               : static_cast<double>(top - s + 1);
                if (value > 0 && per_value * std::sqrt(terms) <= tolerance * value) {
                    requests[i].log_tail = std::min(0.0, log_totals + theta * static_cast<double>(top - s) + std::log(value));
                } else {
                    failed.push_back(i);
                }
            }
        }
    }
}

}  // namespace

void exact_log_tails(const std::vector<column_null>& columns, std::vector<tail_request>& requests) {
    moment_cache moments(columns);
    std::vector<std::size_t> dense;
    std::map<std::pair<std::size_t, std::size_t>, std::vector<std::size_t>> by_run;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        tail_request& r = requests[i];
        std::int64_t top = 0, bottom = 0;
        for (std::size_t c = r.from; c < r.to; ++c) {
            top += columns[c].highest;
            bottom += columns[c].lowest;
        }
        if (r.score > top) {
            r.log_tail = minus_infinity;
        } else if (r.score <= bottom) {
            r.log_tail = 0;
        } else if (top - r.score <= dense_band) {
            dense.push_back(i);
        } else {
            by_run[{r.from, r.to}].push_back(i);
        }
    }
    // The tilts that serve each score: those whose distribution's middle
    // is within `reach` deviations of it. The fewest tilts that serve
    // every score (chosen by the least highest tilt left, as intervals are
    // stabbed), so that runs share their columns' transforms.
    constexpr double reach = 3.5;
    struct served {
        std::size_t request;
        int low, high, nearest;
    };
    std::vector<served> wants;
    std::vector<double> mean(tilt_table::count), deviation(tilt_table::count);
    for (auto& [run, members] : by_run) {
        for (int k = 0; k < tilt_table::count; ++k) {
            double m = 0, variance = 0;
            for (std::size_t c = run.first; c < run.second; ++c) {
                m += moments.at(c, k).mean;
                variance += moments.at(c, k).variance;
            }
            mean[static_cast<std::size_t>(k)] = m;
            deviation[static_cast<std::size_t>(k)] = std::sqrt(std::max(variance, 1e-300));
        }
        for (const std::size_t i : members) {
            const auto s = static_cast<double>(requests[i].score);
            served w{i, tilt_table::count, -1, 0};
            double nearest = INFINITY;
            for (int k = 0; k < tilt_table::count; ++k) {
                const double distance = std::fabs(s - mean[static_cast<std::size_t>(k)]) / deviation[static_cast<std::size_t>(k)];
                if (distance <= reach) {
                    w.low = std::min(w.low, k);
                    w.high = std::max(w.high, k);
                }
                if (distance < nearest) {
                    nearest = distance;
                    w.nearest = k;
                }
            }
            if (w.high < 0) w.low = w.high = w.nearest;
            wants.push_back(w);
        }
    }
    std::sort(wants.begin(), wants.end(), [](const served& a, const served& b) { return a.high < b.high; });
    tilt_groups shared;
    std::vector<int> chosen;
    for (const served& w : wants) {
        if (chosen.empty() || chosen.back() < w.low) chosen.push_back(w.high);
        shared[{chosen.back(), {requests[w.request].from, requests[w.request].to}}].push_back(w.request);
    }
    std::vector<std::size_t> failed, failed_again;
    answer_by_transform(columns, moments, shared, requests, failed);
    // A score the shared tilt served badly gets the tilt nearest to it;
    // failing that, the dense way.
    tilt_groups retried;
    for (const served& w : wants)
        if (std::find(failed.begin(), failed.end(), w.request) != failed.end())
            retried[{w.nearest, {requests[w.request].from, requests[w.request].to}}].push_back(w.request);
    answer_by_transform(columns, moments, retried, requests, failed_again);
    dense.insert(dense.end(), failed_again.begin(), failed_again.end());
    dense_answers(columns, requests, dense);
}

coarse_bounds::coarse_bounds(const std::vector<column_null>& columns, int coarse_step)
    : step(coarse_step), width(columns.size()), runs(columns.size() * columns.size()) {
    std::vector<std::vector<double>> coarse(columns.size());
    std::vector<std::int64_t> coarse_low(columns.size()), coarse_high(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        coarse_low[c] = floor_div(columns[c].lowest, step);
        coarse_high[c] = floor_div(columns[c].highest, step);
        coarse[c].assign(static_cast<std::size_t>(coarse_high[c] - coarse_low[c] + 1), 0.0);
        for (std::size_t j = 0; j < columns[c].probability.size(); ++j)
            coarse[c][static_cast<std::size_t>(floor_div(columns[c].lowest + static_cast<std::int64_t>(j), step) - coarse_low[c])] +=
                columns[c].probability[j];
    }
    std::vector<double> next;
    for (std::size_t from = 0; from < width; ++from) {
        scaled_distribution d;
        for (std::size_t to = from + 1; to <= width; ++to) {
            add_draw(d, coarse[to - 1].data(), coarse_low[to - 1], coarse_high[to - 1], INT64_MIN / 4, next);
            run& r = runs[from * width + to - 1];
            r.lowest = d.lowest;
            r.log_tail.resize(d.value.size());
            double above = 0;
            for (std::size_t i = d.value.size(); i-- > 0;) {
                above += d.value[i];
                r.log_tail[i] = d.log_scale + std::log(above);
            }
        }
    }
}

double coarse_bounds::log_tail_at(const run& r, std::int64_t h) const {
    if (h <= r.lowest) return 0;
    if (h - r.lowest >= static_cast<std::int64_t>(r.log_tail.size())) return minus_infinity;
    return std::min(0.0, r.log_tail[static_cast<std::size_t>(h - r.lowest)]);
}

void coarse_bounds::bounds(std::size_t from, std::size_t to, std::int64_t s, double& low, double& high) const {
    const run& r = of(from, to);
    const auto length = static_cast<std::int64_t>(to - from);
    // Margins for the rounding of the coarse sums themselves.
    low = log_tail_at(r, ceil_div(s, step)) - 1e-9;
    high = std::min(0.0, log_tail_at(r, ceil_div(s - length * (step - 1), step)) + 1e-9);
}
