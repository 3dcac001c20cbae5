#include "peaks_report.h"

#include <algorithm>
#include <cmath>

#include "figures.h"
#include "html.h"
#include "logo.h"

namespace {

std::string stretch_columns(const centrality& c) {
    return std::to_string(c.sites) + "\t" + std::to_string(c.half_width) + "\t" + std::to_string(c.inside) + "\t" +
           fixed(c.expected, 2) + "\t" + general_of_log(c.log_p) + "\t" + general_of_log(c.log_e);
}

// Shares of the windows per bin of `bin` bases, smoothed by a moving
// average over five bins.
std::vector<double> smoothed(const std::vector<double>& distances, std::uint64_t windows, std::int64_t half, std::int64_t bin) {
    const std::size_t bins = static_cast<std::size_t>(2 * half / bin + 1);
    std::vector<double> counts(bins, 0), out(bins, 0);
    for (const double d : distances) {
        const auto at = static_cast<std::int64_t>(std::floor((d + static_cast<double>(half)) / static_cast<double>(bin)));
        counts[static_cast<std::size_t>(std::clamp<std::int64_t>(at, 0, static_cast<std::int64_t>(bins) - 1))] += 1;
    }
    for (std::size_t i = 0; i < bins; ++i) {
        double sum = 0;
        int n = 0;
        for (std::size_t k = i >= 2 ? i - 2 : 0; k <= std::min(bins - 1, i + 2); ++k, ++n) sum += counts[k];
        out[i] = windows ? sum / n / static_cast<double>(windows) : 0;
    }
    return out;
}

}  // namespace

std::string centrality_table(const std::vector<central_motif>& motifs) {
    std::string out =
        "motif\tkind\tsites\thalf_width\tsites_inside\texpected_inside\tp\tE\t"
        "control_sites\tcontrol_half_width\tcontrol_sites_inside\tcontrol_expected_inside\tcontrol_p\tcontrol_E\n";
    for (const central_motif& m : motifs)
        out += m.id + "\t" + (m.found ? "new" : "known") + "\t" + stretch_columns(m.targets) + "\t" + stretch_columns(m.controls) + "\n";
    return out;
}

std::string centrality_plot(const central_motif& m, std::uint64_t width) {
    const double plot_width = 360, plot_height = 120, left = 50, top = 20, bottom = 30;
    const auto half = static_cast<std::int64_t>(width / 2);
    const std::int64_t bin = std::max<std::int64_t>(1, half / 25);
    const std::vector<double> targets = smoothed(m.target_distances, m.target_windows, half, bin),
                              controls = smoothed(m.control_distances, m.control_windows, half, bin);
    double highest = 1e-9;
    for (const double v : targets) highest = std::max(highest, v);
    for (const double v : controls) highest = std::max(highest, v);
    const auto line = [&](const std::vector<double>& shares, const char* colour) {
        std::string points;
        for (std::size_t i = 0; i < shares.size(); ++i) {
            const double x = left + plot_width * static_cast<double>(i) / static_cast<double>(std::max<std::size_t>(1, shares.size() - 1));
            const double y = top + plot_height * (1 - shares[i] / highest);
            points += fixed(x, 1) + "," + fixed(y, 1) + " ";
        }
        return "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"2\" points=\"" + points + "\"/>\n";
    };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fixed(left + plot_width + 20, 0) + "\" height=\"" +
                      fixed(top + plot_height + bottom, 0) + "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"11\">\n";
    svg += "<title>" + xml_escaped(m.id) + ": best sites' distances from the centre</title>\n";
    svg += "<line x1=\"" + fixed(left, 1) + "\" y1=\"" + fixed(top + plot_height, 1) + "\" x2=\"" + fixed(left + plot_width, 1) +
           "\" y2=\"" + fixed(top + plot_height, 1) + "\" stroke=\"#444\"/>\n";
    svg += "<line x1=\"" + fixed(left + plot_width / 2, 1) + "\" y1=\"" + fixed(top, 1) + "\" x2=\"" + fixed(left + plot_width / 2, 1) +
           "\" y2=\"" + fixed(top + plot_height, 1) + "\" stroke=\"#bbb\" stroke-dasharray=\"3,3\"/>\n";
    for (const auto& [x, text] : {std::pair<double, std::string>{left, "-" + std::to_string(half)},
                                  {left + plot_width / 2, "0"}, {left + plot_width, std::to_string(half)}})
        svg += "<text x=\"" + fixed(x, 1) + "\" y=\"" + fixed(top + plot_height + 15, 1) + "\" text-anchor=\"middle\">" + text + "</text>\n";
    svg += "<text x=\"5\" y=\"" + fixed(top + 10, 1) + "\">" + fixed(100 * highest, 1) + "%</text>\n";
    svg += "<text x=\"" + fixed(left, 1) + "\" y=\"12\" fill=\"#1f5fa8\">targets</text>\n";
    svg += "<text x=\"" + fixed(left + 60, 1) + "\" y=\"12\" fill=\"#999\">controls</text>\n";
    svg += line(controls, "#999") + line(targets, "#1f5fa8");
    return svg + "</svg>\n";
}

std::string peaks_report(const peaks_results& r) {
    std::string page = page_start("Motifs of a peak set", "img.logo { height: 60px; display: block; }\n"
                                                          "td.name a { color: inherit; }\n"
                                                          "span.like { color: #888; }\n"
                                                          "span.enriched { color: #b03030; font-weight: bold; }\n"
                                                          "td.wrap { white-space: normal; text-align: left; max-width: 24em; }\n"
                                                          "figure { display: inline-block; margin: 0.5em 1em 0.5em 0; }\n"
                                                          "figcaption { font-size: 0.9em; text-align: center; }\n");
    page += "<h1>Motifs of a peak set</h1>\n<h2 id=\"inputs\">Inputs</h2>\n" + settings_table(r.settings);

    page += "<h2 id=\"known\">Known motifs</h2>\n<p>The first " + std::to_string(r.shown) +
            " of the enrichment table (known.tsv holds every motif). A motif like one ranked above it (motif_compare's "
            "statistics, q at most 0.01) is marked with the best-ranked motif it resembles.</p>\n"
            "<table>\n<thead><tr><th>rank</th><th class=\"name\">motif</th><th>logo</th><th>targets</th><th>controls</th>"
            "<th>enrichment</th><th>p</th><th>q</th><th class=\"name\">family</th></tr></thead>\n<tbody>\n";
    for (std::size_t row = 0; row < r.shown; ++row) {
        const enrichment& e = (*r.known)[row];
        const motif& m = (*r.motifs)[e.motif];
        std::string family;
        if (r.like[row] != SIZE_MAX)
            family = "<span class=\"like\">like " + xml_escaped((*r.motifs)[(*r.known)[r.like[row]].motif].id) + "</span>";
        page += "<tr id=\"known-" + xml_escaped(m.id) + "\"><td>" + std::to_string(row + 1) + "</td><td class=\"name\">" +
                xml_escaped(m.id) + "</td><td>" + svg_image(logo_svg(m.scores, m.id), "logo of " + m.id, "logo") + "</td><td>" +
                std::to_string(e.in_targets) + "</td><td>" + std::to_string(e.in_controls) + "</td><td>" +
                fixed(e.enrichment, 2) + "</td><td>" + general_of_log(e.log_p) + "</td><td>" + general_of_log(e.log_q) +
                "</td><td class=\"name\">" + family + "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n";

    page += "<h2 id=\"new\">New motifs</h2>\n";
    if (r.found->motifs.empty()) page += "<p>No motif was found of E-value within the limit.</p>\n";
    if (!r.found->motifs.empty())
        page += "<table>\n<thead><tr><th>rank</th><th class=\"name\">motif</th><th>logo</th><th>targets</th><th>controls</th>"
                "<th>E</th><th class=\"name\">best known matches (q)</th></tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < r.found->motifs.size(); ++i) {
        const found_motif& m = r.found->motifs[i];
        const std::string id = identifier_of(m, i + 1);
        std::string matches;
        const std::vector<motif_match>& best = r.names->matches[i];
        for (std::size_t k = 0; k < std::min<std::size_t>(3, best.size()); ++k)
            matches += (k ? ", " : "") + xml_escaped(r.names->database[best[k].target].id) + " (" + general_of_log(best[k].log_q) + ")";
        if (best.empty()) matches = "none";
        // The best enriched match, linked to its row where the table shows it.
        if (!r.enriched_matches[i].empty()) {
            const std::size_t known = r.enriched_matches[i][0];
            const std::size_t row = static_cast<std::size_t>(
                std::find_if(r.known->begin(), r.known->end(), [&](const enrichment& e) { return e.motif == known; }) - r.known->begin());
            const std::string name = xml_escaped((*r.motifs)[known].id);
            matches += "<br><span class=\"enriched\">matches " +
                       (row < r.shown ? "<a href=\"#known-" + name + "\">" + name + "</a>" : name) + ", enriched here (rank " +
                       std::to_string(row + 1) + ")";
            if (r.enriched_matches[i].size() > 1) matches += " and " + std::to_string(r.enriched_matches[i].size() - 1) + " more";
            matches += "</span>";
        }
        page += "<tr><td>" + std::to_string(i + 1) + "</td><td class=\"name\">" + xml_escaped(id) + "</td><td>" +
                svg_image(logo_svg(m.scores, id), "logo of " + id, "logo") + "</td><td>" + std::to_string(m.targets_with) + " of " +
                std::to_string(m.targets) + "</td><td>" + std::to_string(m.controls_with) + " of " + std::to_string(m.controls) +
                "</td><td>" + general_of_log(m.log_e) + "</td><td class=\"wrap\">" + matches + "</td></tr>\n";
    }
    if (!r.found->motifs.empty()) page += "</tbody>\n</table>\n";

    page += "<h2 id=\"centrality\">Centrality</h2>\n<p>Each window of " + std::to_string(r.central_width) +
            " bases centred on a summit: its best site, where one is within the threshold. The stretch around the centre "
            "holding the most best sites against their uniform spread (one-sided binomial test, corrected for the stretches "
            "tried; E = p &times; motifs tested). Plots: the share of windows whose best site lies at each distance, smoothed; "
            "targets blue, controls grey.</p>\n<table>\n<thead><tr><th class=\"name\">motif</th><th>sites</th><th>half-width</th>"
            "<th>inside</th><th>expected</th><th>E</th><th>controls: E</th></tr></thead>\n<tbody>\n";
    for (const central_motif& m : *r.central) {
        page += "<tr><td class=\"name\">" + xml_escaped(m.id) + (m.found ? " (new)" : "") + "</td><td>" +
                std::to_string(m.targets.sites) + " of " + std::to_string(m.target_windows) + "</td><td>" +
                std::to_string(m.targets.half_width) + "</td><td>" + std::to_string(m.targets.inside) + "</td><td>" +
                fixed(m.targets.expected, 1) + "</td><td>" + general_of_log(m.targets.log_e) + "</td><td>" +
                general_of_log(m.controls.log_e) + "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n<div>\n";
    for (const central_motif& m : *r.central)
        page += "<figure>" + centrality_plot(m, r.central_width) + "<figcaption>" + xml_escaped(m.id) + "</figcaption></figure>\n";
    page += "</div>\n";
    return page + page_end();
}
