// motif_discover's results: the motifs in MEME's text format, the table and
// the report page.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "comparing.h"
#include "discover.h"

// Each motif's identifier: its rank and consensus, "1-TGACTCA".
std::string identifier_of(const found_motif& m, std::size_t rank);

// How motifs judged on all records were calibrated: "all records,
// calibrated by 50 null searches".
std::string calibration_of(const discovery& found);

// MEME's text: the version, alphabet, strands and the background searched
// against, then each motif as "MOTIF ID CONSENSUS" and its
// letter-probability matrix.
std::string meme_text(const std::vector<found_motif>& motifs, const base_frequencies& background);

// The background as a reader of meme_text's line reads it (six digits, then
// scaled to add up to 1): what the search scores against, so that its
// motifs read back with --bg motif score and match as they did.
base_frequencies background_as_written(const base_frequencies& background);

// Known motifs like each found one, best first, for the table and report.
struct known_matches {
    std::vector<motif> database;
    std::vector<std::vector<motif_match>> matches;  // per found motif
};

// The table: a header line, then a line per motif, tab-separated.
std::string discovery_table(const discovery& found, const known_matches* known);

// The report page: the run's settings, then each motif's logo, numbers and
// best known matches with their logos aligned to it.
std::string discovery_report(const discovery& found, const known_matches* known,
                             const std::vector<std::pair<std::string, std::string>>& settings);
