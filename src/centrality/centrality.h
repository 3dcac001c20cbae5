// Whether a motif's sites pile up at the summits, as a factor binding there
// directly makes them: each window's best site, its distance from the
// window's centre, and the central stretch holding more of them than
// sites spread uniformly over the window would.
#pragma once

#include <cstdint>
#include <vector>

#include "scan_input.h"
#include "sites.h"

// A window's best site: its distance from the window's centre (site centre
// minus window centre, in bases, a half where the widths' parities differ)
// and how many starts the window offers a site of the motif's width.
struct best_site {
    std::uint32_t window;
    double distance;
    std::uint64_t starts;
};

// Each window's best site among `sites` (one motif's, `width` wide, every
// one that passed its threshold): the highest score on either strand; of
// equal scores the one nearest the centre, then the leftmost, then the +
// strand. In window order.
std::vector<best_site> best_sites(const std::vector<record_site>& sites, const std::vector<sequence_record>& windows,
                                  std::size_t width);

// Half-widths of the stretches tried: 5, 10, 15, ...
inline constexpr std::uint64_t stretch_step = 5;

// How many of a window's `starts` put a site's centre within `half_width`
// of the window's centre.
std::uint64_t starts_within(std::uint64_t starts, std::uint64_t half_width);


struct centrality {
    std::uint64_t sites = 0;       // windows with a best site
    std::uint64_t half_width = 0;  // of the stretch of smallest p (0: no site)
    std::uint64_t inside = 0;      // best sites within it
    double expected = 0;           // of sites uniform over their windows' starts
    // One-sided binomial test of the sites inside against the stretch's
    // share of starts, times the stretches tried (at most 1); E = p x the
    // motifs tested. Natural logs.
    double log_p = 0, log_e = 0;
};

// The stretch of smallest p among those of every half-width from
// stretch_step on, by stretch_step, until one holds every start of every
// window; its p corrected for the stretches tried (Bonferroni).
centrality central_stretch(const std::vector<best_site>& best, std::uint64_t motifs_tested);
