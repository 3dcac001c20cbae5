// motif_enrich's results: the table on standard output and the report page.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "motif.h"

// What is counted of each motif: the records holding a site (Fisher's
// test), or the sites against the windows a site can start in, on either
// strand (the test of two Poisson rates): records saturate where long
// sequences all hold a site of a common motif, sites do not.
enum class counting { records, sites };

// One motif's counts and statistics.
struct enrichment {
    std::size_t motif;                      // in load order
    // Records with a site and records; or sites and windows.
    std::uint64_t in_targets, in_controls, of_targets, of_controls;
    double enrichment;                      // ((in_targets + 1) / (of_targets + 1)) / ((in_controls + 1) / (of_controls + 1))
    double log_p, log_q;                    // natural logs
};

// What the run was given, for the report.
struct run_description {
    std::string targets, controls;          // what they were: file names and counts
    std::string motifs, threshold, background, version;
    std::uint64_t target_count, control_count;
    counting counted = counting::records;
};

// The table: a header line, then one line per motif in the order given
// (most enriched first), tab-separated.
std::string enrichment_table(const std::vector<enrichment>& results, const std::vector<motif>& motifs, counting counted);

// The report page: self-contained HTML, no scripts; the run, then the
// table, with each motif's logo (the SVG motif_logo draws) for those of
// q <= 0.05 and the first ten lines. A motif that resembles a
// better-ranked one (`resembles[m]`: the motifs m resembles, in load order)
// is marked "like" the best-ranked of them and folded under the first of
// their family, shown on request.
std::string enrichment_report(const std::vector<enrichment>& results, const std::vector<motif>& motifs,
                              const run_description& run, const std::vector<std::vector<std::size_t>>& resembles);
