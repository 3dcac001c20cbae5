// Which known motifs are over-represented in targets against controls: each
// motif's records with a site and Fisher's exact test, or its sites per
// window and the test of two Poisson rates, q-values, and which
// motifs resemble which, for folding families.
#pragma once

#include <functional>
#include <vector>

#include "known_report.h"
#include "pipeline.h"
#include "scan_input.h"

// Each motif's records with a site among targets and controls, or its sites
// and windows there, most enriched first (ties in load order), on
// settings.threads threads; `progress`, if given, is told as the scan goes
// the share of the records handed to it.
std::vector<enrichment> enrich_known_motifs(const std::vector<scan_matrix>& matrices, const std::vector<sequence_record>& targets,
                                            const std::vector<sequence_record>& controls, const scan_settings& settings,
                                            counting counted, const std::function<void(double)>& progress = {});

// For each motif, the others it resembles by motif_compare's statistics (q
// <= 0.01, the motifs tested as targets), for the report's families.
std::vector<std::vector<std::size_t>> resemblances(const std::vector<motif>& motifs, unsigned threads);

// How motifs ranked best first fold into families: each joins the family of
// the best-ranked motif before it that it resembles. By rank, `like` is that
// motif's rank (SIZE_MAX for none), `first` the rank of its family's first.
struct motif_families {
    std::vector<std::size_t> like, first;
};

// `resembles`: by rank, the ranks of the motifs each resembles (those
// ranked after it are passed over).
motif_families fold_families(const std::vector<std::vector<std::size_t>>& resembles);
