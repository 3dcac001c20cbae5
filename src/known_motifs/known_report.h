// motif_enrich's results: the table on standard output and the report page.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "motif.h"

// One motif's counts and statistics.
struct enrichment {
    std::size_t motif;                      // in load order
    std::uint64_t targets_with_site, controls_with_site;
    double enrichment;                      // ((T + 1) / (NT + 1)) / ((C + 1) / (NC + 1))
    double log_p, log_q;                    // natural logs
};

// What the run was given, for the report.
struct run_description {
    std::string targets, controls;          // what they were: file names and counts
    std::string motifs, threshold, background, version;
    std::uint64_t target_count, control_count;
};

// The table: a header line, then one line per motif in the order given
// (most enriched first), tab-separated.
std::string enrichment_table(const std::vector<enrichment>& results, const std::vector<motif>& motifs,
                             std::uint64_t target_count, std::uint64_t control_count);

// The report page: self-contained HTML, no scripts; the run, then the
// table, with each motif's logo (the SVG motif_logo draws) for those of
// q <= 0.05 and the first ten lines. A motif that resembles a
// better-ranked one (`resembles[m]`: the motifs m resembles, in load order)
// is marked "like" the best-ranked of them and folded under the first of
// their family, shown on request.
std::string enrichment_report(const std::vector<enrichment>& results, const std::vector<motif>& motifs,
                              const run_description& run, const std::vector<std::vector<std::size_t>>& resembles);
