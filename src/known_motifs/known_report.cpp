#include "known_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "html.h"
#include "logo.h"

namespace {

// p and q print with %.3g, 0 when below the range of doubles.
std::string general(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    // Rounding a value just below 0 to nothing leaves "-0.0000".
    if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) return text + 1;
    return text;
}

// The columns of a motif's line, as the table prints them.
std::vector<std::string> columns_of(const enrichment& r, std::size_t rank, const motif& m, std::uint64_t targets,
                                    std::uint64_t controls) {
    const auto percent = [](std::uint64_t part, std::uint64_t whole) {
        return fixed(whole == 0 ? 0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole), 1);
    };
    return {std::to_string(rank),
            m.id,
            consensus_of(m.scores),
            std::to_string(r.targets_with_site),
            std::to_string(targets),
            percent(r.targets_with_site, targets),
            std::to_string(r.controls_with_site),
            std::to_string(controls),
            percent(r.controls_with_site, controls),
            general(r.enrichment),
            fixed(r.log_p / std::log(10.0), 4),
            general(std::exp(r.log_p)),
            general(std::exp(r.log_q))};
}

const char* const column_names[] = {"rank",     "motif",          "consensus",        "targets_with_site",
                                    "targets",  "percent_targets", "controls_with_site", "controls",
                                    "percent_controls", "enrichment", "log10_p",          "p",
                                    "q"};

}  // namespace

std::string enrichment_table(const std::vector<enrichment>& results, const std::vector<motif>& motifs,
                             std::uint64_t target_count, std::uint64_t control_count) {
    std::string out;
    for (const char* name : column_names) out += std::string(out.empty() ? "" : "\t") + name;
    out += '\n';
    for (std::size_t i = 0; i < results.size(); ++i) {
        const std::vector<std::string> columns =
            columns_of(results[i], i + 1, motifs[results[i].motif], target_count, control_count);
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
    // the logo beside the motif's name.
    const std::pair<const char*, std::size_t> shown[] = {
        {"rank", 0}, {"motif", 1}, {"logo", 13}, {"consensus", 2}, {"targets with a site", 3}, {"%", 5},
        {"controls with a site", 6}, {"%", 8}, {"enrichment", 9}, {"log10 p", 10}, {"p", 11}, {"q", 12}};
    std::string head = "<thead><tr>";
    for (const auto& [label, column] : shown)
        head += std::string(column == 1 || column == 2 || column == 13 ? "<th class=\"name\">" : "<th>") + label + "</th>";
    head += "</tr></thead>\n";

    // Families: each motif like the best-ranked motif before it that it
    // resembles, and folded under that one's first.
    std::vector<std::size_t> rank_of(motifs.size());
    for (std::size_t i = 0; i < results.size(); ++i) rank_of[results[i].motif] = i;
    std::vector<std::size_t> like(results.size(), SIZE_MAX), first(results.size());
    std::vector<std::vector<std::size_t>> members(results.size());
    for (std::size_t i = 0; i < results.size(); ++i) {
        for (const std::size_t other : resembles[results[i].motif])
            if (rank_of[other] < i) like[i] = std::min(like[i], rank_of[other]);
        first[i] = like[i] == SIZE_MAX ? i : first[like[i]];
        if (first[i] != i) members[first[i]].push_back(i);
    }

    // Logos for the motifs of q <= 0.05 (q falls with p, so they come
    // first), and for the first ten lines shown.
    std::vector<bool> drawn(results.size());
    for (std::size_t i = 0, lines = 0; i < results.size(); ++i) {
        drawn[i] = std::exp(results[i].log_q) <= 0.05 || (first[i] == i && lines < 10);
        lines += first[i] == i;
    }
    const auto row = [&](std::size_t i) {
        const motif& m = motifs[results[i].motif];
        const std::vector<std::string> columns = columns_of(results[i], i + 1, m, run.target_count, run.control_count);
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
