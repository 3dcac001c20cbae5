// motif_peaks' own results: the centrality table and the report page that
// gathers the known motifs, the new ones and the centrality plots.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "centrality.h"
#include "discovery_report.h"
#include "known_report.h"

// A motif whose centrality was measured, in the targets and the controls.
struct central_motif {
    std::string id;
    bool found = false;  // a new motif, not a known one
    centrality targets, controls;
    std::vector<double> target_distances, control_distances;  // of the best sites
    std::uint64_t target_windows = 0, control_windows = 0;
};

// The table: a header line, then a line per motif, tab-separated.
std::string centrality_table(const std::vector<central_motif>& motifs);

// What the page shows.
struct peaks_results {
    std::vector<std::pair<std::string, std::string>> settings;  // the inputs and counts
    const std::vector<enrichment>* known;
    const std::vector<motif>* motifs;  // the known ones, in load order
    std::size_t shown;                 // the first rows of the known table shown
    std::vector<std::size_t> like;  // per row shown, the best row above it that it resembles (SIZE_MAX: none)
    const discovery* found;
    const known_matches* names;
    // Per new motif, the known motifs (in load order) it matches that are
    // enriched here, best match first.
    std::vector<std::vector<std::size_t>> enriched_matches;
    const std::vector<central_motif>* central;
    std::uint64_t central_width;
};

// The page: self-contained HTML, images inline, no scripts.
std::string peaks_report(const peaks_results& results);

// A smoothed histogram of best sites' distances from the centre, targets
// against controls, each as the share of its windows: an SVG picture.
std::string centrality_plot(const central_motif& m, std::uint64_t width);
