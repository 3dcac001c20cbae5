// The statistics of enrichment: Fisher's exact test and the test of two
// Poisson rates, one-sided, and
// Benjamini-Hochberg q-values, in logs so that tiny p-values keep their size.
#pragma once

#include <cstdint>
#include <vector>

// The natural log of P(X >= hits) for X hypergeometric: `drawn` records
// drawn from `total`, of which `marked` hold a site (Fisher's exact test of
// `hits` marked among the drawn, one-sided).
double log_upper_tail(std::uint64_t hits, std::uint64_t drawn, std::uint64_t marked, std::uint64_t total);

// The natural log of P(X >= hits) for X binomial: `trials` of chance
// `chance` each. The exact conditional test of two Poisson rates: of n
// events in all, those in the first part, whose share of the exposure is
// `chance` (one-sided).
double log_binomial_upper_tail(std::uint64_t hits, std::uint64_t trials, double chance);

// The Benjamini-Hochberg q-value of each p-value, in logs: p x n / rank,
// then the least of those of its rank and every higher rank, at most 1.
std::vector<double> log_q_values(const std::vector<double>& log_p);
