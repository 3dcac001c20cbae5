#include "results.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "html.h"
#include "logo.h"

namespace {

// %.3g, 0 below the range of doubles.
std::string general(double log_value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", std::exp(log_value));
    return text;
}

std::vector<std::string> columns_of(const motif& query, const motif& target, const motif_match& m) {
    return {query.id,
            target.id,
            std::to_string(m.offset),
            m.minus ? "-" : "+",
            std::to_string(m.overlap),
            general(m.log_p),
            general(m.log_e),
            general(m.log_q),
            consensus_of(query.scores),
            consensus_of(m.minus ? reverse_complement(target.scores) : target.scores)};
}

const char* const column_names[] = {"query", "target", "offset", "orientation", "overlap", "p", "E", "q",
                                    "query_consensus", "target_consensus"};

// The pages get a logo drawn for each query's first matches only: an
// all-against-all page would otherwise run to gigabytes.
constexpr std::size_t drawn_per_query = 10;

}  // namespace

std::string comparison_table(const std::vector<motif>& queries, const std::vector<motif>& targets,
                             const std::vector<std::vector<motif_match>>& matches, std::size_t top) {
    std::string out;
    for (const char* name : column_names) out += std::string(out.empty() ? "" : "\t") + name;
    out += '\n';
    for (std::size_t q = 0; q < queries.size(); ++q)
        for (std::size_t i = 0; i < std::min(top, matches[q].size()); ++i) {
            const std::vector<std::string> columns = columns_of(queries[q], targets[matches[q][i].target], matches[q][i]);
            for (std::size_t c = 0; c < columns.size(); ++c) out += (c ? "\t" : "") + columns[c];
            out += '\n';
        }
    return out;
}

std::string comparison_report(const std::vector<motif>& queries, const std::vector<motif>& targets,
                              const std::vector<std::vector<motif_match>>& matches, std::size_t top,
                              const std::vector<std::pair<std::string, std::string>>& settings) {
    std::string page = page_start("Motif comparison", "img.logo { height: 84px; display: block; }\n"
                                                      "td.logos { padding: 0.4em 0.5em; }\n");
    page += "<h1>Motif comparison</h1>\n" + settings_table(settings);
    for (std::size_t q = 0; q < queries.size(); ++q) {
        const motif& query = queries[q];
        page += "<h2>" + xml_escaped(query.id) + "</h2>\n";
        page += svg_image(logo_svg(query.scores, query.id), "logo of " + query.id, "logo");
        page += "<p>" + std::to_string(query.scores.size()) + " positions, consensus <code>" + consensus_of(query.scores) +
                "</code></p>\n";
        const std::size_t shown = std::min(top, matches[q].size());
        if (shown == 0) {
            page += "<p>No target matches within the q-value limit.</p>\n";
            continue;
        }
        page += "<table class=\"matches\">\n<thead><tr><th>rank</th><th class=\"name\">target</th>"
                "<th class=\"name\">alignment (query above)</th><th>offset</th><th>orientation</th><th>overlap</th>"
                "<th>p</th><th>E</th><th>q</th><th class=\"name\">target consensus</th></tr></thead>\n<tbody>\n";
        for (std::size_t i = 0; i < shown; ++i) {
            const motif_match& m = matches[q][i];
            const motif& target = targets[m.target];
            const std::vector<std::string> columns = columns_of(query, target, m);
            page += "<tr><td>" + std::to_string(i + 1) + "</td><td class=\"name\">" + xml_escaped(target.id) + "</td><td class=\"logos\">";
            if (i < drawn_per_query) {
                const auto [above, below] =
                    aligned_logos(query.scores, query.id, m.minus ? reverse_complement(target.scores) : target.scores,
                                  target.id + (m.minus ? " (reverse complement)" : ""), m.offset);
                page += svg_image(above, "logo of " + query.id + " as aligned", "logo") +
                        svg_image(below, "logo of " + target.id + " as aligned", "logo");
            }
            page += "</td>";
            for (std::size_t c = 2; c <= 7; ++c) page += "<td>" + xml_escaped(columns[c]) + "</td>";
            page += "<td class=\"consensus\">" + xml_escaped(columns[9]) + "</td></tr>\n";
        }
        page += "</tbody>\n</table>\n";
    }
    return page + page_end();
}
