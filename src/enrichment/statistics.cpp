// The hypergeometric and binomial tails summed term by term from their
// first, each from the one before by their exact ratio, in long double and
// scaled so that no term under- or overflows, whatever the counts: a p-value
// of 1e-3000 has its log as exactly as one of 0.01.
#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// lgamma also sets the global signgam, a data race where tests run on
// several threads at once (motif_discover's null searches); its reentrant
// form does not.
long double log_gamma(long double x) {
    int sign;
    return lgammal_r(x, &sign);
}

long double log_choose(long double n, long double k) { return log_gamma(n + 1) - log_gamma(k + 1) - log_gamma(n - k + 1); }

}  // namespace

double log_upper_tail(std::uint64_t hits, std::uint64_t drawn, std::uint64_t marked, std::uint64_t total) {
    const std::uint64_t lowest = drawn + marked > total ? drawn + marked - total : 0;
    const std::uint64_t highest = std::min(drawn, marked);
    if (hits <= lowest) return 0;
    if (hits > highest) return -INFINITY;
    const auto n = static_cast<long double>(total), m = static_cast<long double>(marked),
               d = static_cast<long double>(drawn);
    const long double first = log_choose(m, hits) + log_choose(n - m, d - hits) - log_choose(n, d);
    // The terms rise to the mode, then fall: summed relative to the
    // largest so far, until they no longer count.
    const long double mode = std::floor((d + 1) * (m + 1) / (n + 2));
    long double scale = 0, sum = 1, term = 1;  // the terms over e^scale
    for (std::uint64_t k = hits; k < highest; ++k) {
        const auto x = static_cast<long double>(k);
        term *= (m - x) * (d - x) / ((x + 1) * (n - m - d + x + 1));
        if (term > 1) {
            scale += std::log(term);
            sum /= term;
            term = 1;
        }
        sum += term;
        if (x > mode && term < sum * 1e-25L) break;
    }
    return static_cast<double>(first + scale + std::log(sum));
}

double log_binomial_upper_tail(std::uint64_t hits, std::uint64_t trials, double chance) {
    if (hits == 0 || chance >= 1) return 0;
    if (hits > trials || chance <= 0) return -INFINITY;
    const auto n = static_cast<long double>(trials), k = static_cast<long double>(hits);
    const long double p = chance, odds = p / (1 - p);
    const auto log_term = [&](long double x) { return log_choose(n, x) + x * std::log(p) + (n - x) * std::log1p(-p); };
    // Summed away from the mode, where the terms only fall, each from the
    // one before by their ratio until they no longer count: a tail beyond
    // the mode itself, one short of it as 1 less the other tail (then at
    // least about a half, which the subtraction leaves exact enough).
    long double sum = 1, term = 1;
    if (k > std::floor((n + 1) * p)) {
        for (long double x = k; x < n && term >= sum * 1e-25L; ++x) {
            term *= (n - x) / (x + 1) * odds;
            sum += term;
        }
        return static_cast<double>(log_term(k) + std::log(sum));
    }
    for (long double x = k - 1; x > 0 && term >= sum * 1e-25L; --x) {
        term *= x / (n - x + 1) / odds;
        sum += term;
    }
    return static_cast<double>(std::log1p(-std::exp(log_term(k - 1) + std::log(sum))));
}

std::vector<double> log_q_values(const std::vector<double>& log_p) {
    const std::size_t n = log_p.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return log_p[a] < log_p[b]; });
    std::vector<double> log_q(n);
    double least = 0;  // q is at most 1
    for (std::size_t rank = n; rank-- > 0;) {
        const std::size_t i = order[rank];
        least = std::min(least, log_p[i] + std::log(static_cast<double>(n) / static_cast<double>(rank + 1)));
        log_q[i] = least;
    }
    return log_q;
}
