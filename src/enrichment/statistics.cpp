// The hypergeometric tail summed term by term from its first, each from the
// one before by their exact ratio, in long double and scaled so that no
// term under- or overflows, whatever the counts: a p-value of 1e-3000 has
// its log as exactly as one of 0.01.
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
