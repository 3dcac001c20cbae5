#include "known_report.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "figures.h"
#include "html.h"
#include "known_enrichment.h"
#include "logo.h"

namespace {

// p and q print with %.3g, 0 when below the range of doubles.
std::string general(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

// The columns of a motif's line, as the table prints them.
// Records with a site are given in percent, sites per 1,000 windows.
std::vector<std::string> columns_of(const enrichment& r, std::size_t rank, const motif& m, counting counted) {
    const auto share = [&](std::uint64_t part, std::uint64_t whole) {
        const double per = counted == counting::records ? 100 : 1000;
        return fixed(whole == 0 ? 0 : per * static_cast<double>(part) / static_cast<double>(whole), counted == counting::records ? 1 : 3);
    };
    return {std::to_string(rank),
            m.id,
            consensus_of(m.scores),
            std::to_string(r.in_targets),
            std::to_string(r.of_targets),
            share(r.in_targets, r.of_targets),
            std::to_string(r.in_controls),
            std::to_string(r.of_controls),
            share(r.in_controls, r.of_controls),
            general(r.enrichment),
            fixed(r.log_p / std::log(10.0), 4),
            general(std::exp(r.log_p)),
            general(std::exp(r.log_q))};
}

const char* const column_names[] = {"rank",     "motif",          "consensus",        "targets_with_site",
                                    "targets",  "percent_targets", "controls_with_site", "controls",
                                    "percent_controls", "enrichment", "log10_p",          "p",
                                    "q"};
// Counting sites, the columns of counts are named for them.
const char* const site_column_names[] = {"sites_in_targets", "target_windows", "sites_per_kb_targets",
                                         "sites_in_controls", "control_windows", "sites_per_kb_controls"};

const char* column_name(std::size_t column, counting counted) {
    return counted == counting::sites && column >= 3 && column < 9 ? site_column_names[column - 3] : column_names[column];
}

}  // namespace

std::string enrichment_table(const std::vector<enrichment>& results, const std::vector<motif>& motifs, counting counted) {
    std::string out;
    for (std::size_t c = 0; c < std::size(column_names); ++c) out += std::string(c ? "\t" : "") + column_name(c, counted);
    out += '\n';
    for (std::size_t i = 0; i < results.size(); ++i) {
        const std::vector<std::string> columns = columns_of(results[i], i + 1, motifs[results[i].motif], counted);
        for (std::size_t c = 0; c < columns.size(); ++c) out += (c ? "\t" : "") + columns[c];
        out += '\n';
    }
    return out;
}

std::string enrichment_report(const std::vector<enrichment>& results, const std::vector<motif>& motifs,
                              const run_description& run, const std::vector<std::vector<std::size_t>>& resembles) {
    std::string page = page_start("Motif enrichment: " + run.targets,
                                  "table.motifs { font-size: 0.9em; }\nimg.logo { height: 72px; display: block; }\n"
                                  "td.family { text-align: left; padding-left: 3em; }\nsummary { cursor: pointer; }\n"
                                  "span.like { color: #666; font-size: 0.9em; }\n");
    page += "<h1>Motif enrichment</h1>\n" +
            settings_table({{"targets", run.targets}, {"controls", run.controls}, {"motifs", run.motifs},
                            {"sites", run.threshold},
                            {"background", run.background}, {"program", run.version}});
    // The table's columns but the counts of targets and controls (above),
    // the logo beside the motif's name; counting sites, each motif's windows.
    const std::vector<std::pair<const char*, std::size_t>> shown =
        run.counted == counting::records
            ? std::vector<std::pair<const char*, std::size_t>>{{"rank", 0}, {"motif", 1}, {"logo", 13}, {"consensus", 2},
                                                               {"targets with a site", 3}, {"%", 5}, {"controls with a site", 6},
                                                               {"%", 8}, {"enrichment", 9}, {"log10 p", 10}, {"p", 11}, {"q", 12}}
            : std::vector<std::pair<const char*, std::size_t>>{
                  {"rank", 0}, {"motif", 1}, {"logo", 13}, {"consensus", 2}, {"sites in targets", 3}, {"windows", 4},
                  {"per kb", 5}, {"sites in controls", 6}, {"windows", 7}, {"per kb", 8}, {"enrichment", 9},
                  {"log10 p", 10}, {"p", 11}, {"q", 12}};
    std::string head = "<thead><tr>";
    for (const auto& [label, column] : shown)
        head += std::string(column == 1 || column == 2 || column == 13 ? "<th class=\"name\">" : "<th>") + label + "</th>";
    head += "</tr></thead>\n";

    // Families: each motif like the best-ranked motif before it that it
    // resembles, and folded under that one's first.
    std::vector<std::size_t> rank_of(motifs.size(), SIZE_MAX);
    for (std::size_t i = 0; i < results.size(); ++i) rank_of[results[i].motif] = i;
    std::vector<std::vector<std::size_t>> resembles_by_rank(results.size());
    for (std::size_t i = 0; i < results.size(); ++i)
        for (const std::size_t other : resembles[results[i].motif]) resembles_by_rank[i].push_back(rank_of[other]);
    const motif_families families = fold_families(resembles_by_rank);
    const std::vector<std::size_t>&like = families.like, &first = families.first;
    std::vector<std::vector<std::size_t>> members(results.size());
    for (std::size_t i = 0; i < results.size(); ++i)
        if (first[i] != i) members[first[i]].push_back(i);

    // Logos for the motifs of q <= 0.05 (q falls with p, so they come
    // first), and for the first ten lines shown.
    std::vector<bool> drawn(results.size());
    for (std::size_t i = 0, lines = 0; i < results.size(); ++i) {
        drawn[i] = std::exp(results[i].log_q) <= 0.05 || (first[i] == i && lines < 10);
        lines += first[i] == i;
    }
    const auto row = [&](std::size_t i) {
        const motif& m = motifs[results[i].motif];
        const std::vector<std::string> columns = columns_of(results[i], i + 1, m, run.counted);
        std::string line = "<tr>";
        for (const auto& [label, column] : shown) {
            if (column == 13) {
                line += "<td>";
                if (drawn[i]) line += svg_image(logo_svg(m.scores, m.id), "logo of " + m.id, "logo");
                line += "</td>";
            } else if (column == 1) {
                line += "<td class=\"name\">" + xml_escaped(columns[1]);
                if (like[i] != SIZE_MAX)
                    line += "<br><span class=\"like\">like " + xml_escaped(motifs[results[like[i]].motif].id) + "</span>";
                line += "</td>";
            } else {
                line += std::string(column == 2 ? "<td class=\"consensus\">" : "<td>") + xml_escaped(columns[column]) + "</td>";
            }
        }
        return line + "</tr>\n";
    };
    page += "<h2>Motifs, most enriched first</h2>\n";
    page += "<p>A motif that resembles a better-ranked one (motif_compare's q-value at most 0.01 among the motifs "
            "tested) is folded under the first motif of their family.</p>\n";
    page += "<table class=\"motifs\">\n" + head + "<tbody>\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (first[i] != i) continue;
        page += row(i);
        if (members[i].empty()) continue;
        page += "<tr><td colspan=\"" + std::to_string(std::size(shown)) + "\" class=\"family\"><details><summary>" +
                std::to_string(members[i].size()) + " more like " + xml_escaped(motifs[results[i].motif].id) +
                "</summary>\n<table class=\"motifs\">\n" + head + "<tbody>\n";
        for (const std::size_t member : members[i]) page += row(member);
        page += "</tbody>\n</table>\n</details></td></tr>\n";
    }
    return page + "</tbody>\n</table>\n" + page_end();
}
