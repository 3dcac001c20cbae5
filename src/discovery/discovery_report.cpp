#include "discovery_report.h"

#include <cmath>
#include <cstdio>

#include "figures.h"
#include "html.h"
#include "logo.h"

namespace {

const char* const column_names[] = {"rank",
                                    "id",
                                    "consensus",
                                    "width",
                                    "sites",
                                    "site_p",
                                    "held_out_targets_with_site",
                                    "held_out_targets",
                                    "targets_with_site",
                                    "targets",
                                    "held_out_controls_with_site",
                                    "held_out_controls",
                                    "controls_with_site",
                                    "controls",
                                    "log10_p",
                                    "p",
                                    "E",
                                    "judged_on"};

std::vector<std::string> columns_of(const discovery& found, std::size_t i) {
    const found_motif& m = found.motifs[i];
    return {std::to_string(i + 1),
            identifier_of(m, i + 1),
            consensus_of(m.scores),
            std::to_string(m.probabilities.size()),
            std::to_string(m.sites),
            general_of_log(std::log(m.site_p)),
            std::to_string(m.held_targets_with),
            std::to_string(m.held_targets),
            std::to_string(m.targets_with),
            std::to_string(m.targets),
            std::to_string(m.held_controls_with),
            std::to_string(m.held_controls),
            std::to_string(m.controls_with),
            std::to_string(m.controls),
            fixed(m.log_p / std::log(10.0), 4),
            general_of_log(m.log_p),
            general_of_log(m.log_e),
            found.held_out ? "held_out" : found.null_searches ? calibration_of(found) : "all"};
}

}  // namespace

std::string calibration_of(const discovery& found) {
    return "all records, calibrated by " + std::to_string(found.null_searches) + " null searches";
}

std::string identifier_of(const found_motif& m, std::size_t rank) { return std::to_string(rank) + "-" + consensus_of(m.scores); }

namespace {

std::string background_line(const base_frequencies& background) {
    char line[96];
    std::snprintf(line, sizeof line, "A %.6g C %.6g G %.6g T %.6g\n", background[0], background[1], background[2], background[3]);
    return line;
}

}  // namespace

base_frequencies background_as_written(const base_frequencies& background) {
    base_frequencies read;
    std::sscanf(background_line(background).c_str(), "A %lf C %lf G %lf T %lf", &read[0], &read[1], &read[2], &read[3]);
    const double sum = read[0] + read[1] + read[2] + read[3];
    for (double& f : read) f /= sum;
    return read;
}

std::string meme_text(const std::vector<found_motif>& motifs, const base_frequencies& background) {
    std::string text = "MEME version 4\n\nALPHABET= ACGT\n\nstrands: + -\n\nBackground letter frequencies\n" +
                       background_line(background);
    for (std::size_t i = 0; i < motifs.size(); ++i) {
        const found_motif& m = motifs[i];
        text += "\nMOTIF " + identifier_of(m, i + 1) + " " + consensus_of(m.scores) + "\n";
        text += "letter-probability matrix: alength= 4 w= " + std::to_string(m.probabilities.size()) +
                " nsites= " + std::to_string(m.sites) + " E= " + general_of_log(m.log_e) + "\n";
        for (const auto& column : m.probabilities) {
            char line[96];
            std::snprintf(line, sizeof line, " %.6f %.6f %.6f %.6f\n", column[0], column[1], column[2], column[3]);
            text += line;
        }
    }
    return text;
}

std::string discovery_table(const discovery& found, const known_matches* known) {
    std::string out;
    for (const char* name : column_names) out += std::string(out.empty() ? "" : "\t") + name;
    if (known) out += "\tbest_match\tbest_match_q";
    out += '\n';
    for (std::size_t i = 0; i < found.motifs.size(); ++i) {
        const std::vector<std::string> columns = columns_of(found, i);
        for (std::size_t c = 0; c < columns.size(); ++c) out += (c ? "\t" : "") + columns[c];
        if (known) {
            const std::vector<motif_match>& matches = known->matches[i];
            out += matches.empty() ? "\tNA\tNA"
                                   : "\t" + known->database[matches[0].target].id + "\t" + general_of_log(matches[0].log_q);
        }
        out += '\n';
    }
    return out;
}

std::string discovery_report(const discovery& found, const known_matches* known,
                             const std::vector<std::pair<std::string, std::string>>& settings) {
    std::string page = page_start("Motif discovery", "img.logo { height: 84px; display: block; }\n"
                                                     "img.motif { height: 150px; display: block; }\n"
                                                     "table.numbers td:first-child { text-align: left; }\n"
                                                     "div.motif { margin-bottom: 2em; }\n");
    page += "<h1>Motif discovery</h1>\n" + settings_table(settings);
    if (!found.held_out && found.null_searches)
        page += "<p>The targets are too few to hold a tenth out: each motif is judged on all records, those it was found "
                "in included, and its p-value is that of its score among the best of " +
                std::to_string(found.null_searches) + " null searches (the same search on shuffled targets).</p>\n";
    else if (!found.held_out)
        page += "<p>The targets are too few to hold a tenth out: each motif is judged on all records, those it was found "
                "in included, so its p-value is optimistic.</p>\n";
    if (found.motifs.empty()) page += "<p>No motif is enriched enough to report.</p>\n";
    for (std::size_t i = 0; i < found.motifs.size(); ++i) {
        const found_motif& m = found.motifs[i];
        const std::vector<std::string> columns = columns_of(found, i);
        const std::string id = columns[1];
        page += "<div class=\"motif\">\n<h2>" + xml_escaped(id) + "</h2>\n" + svg_image(logo_svg(m.scores, id), "logo of " + id, "motif");
        const std::string judged = found.held_out ? "held out" : found.null_searches ? "all, calibrated" : "all, none held out";
        page += "<table class=\"numbers\">\n";
        const std::pair<std::string, std::string> rows[] = {
            {"consensus", columns[2]},
            {"width", columns[3]},
            {"sites counted", columns[4]},
            {"a site", "a window of p-value at most " + columns[5]},
            {"targets with a site (" + judged + ")", columns[6] + " of " + columns[7]},
            {"controls with a site (" + judged + ")", columns[10] + " of " + columns[11]},
            {"targets with a site (all)", columns[8] + " of " + columns[9]},
            {"controls with a site (all)", columns[12] + " of " + columns[13]},
            {"log10 p", columns[14]},
            {"p", columns[15]},
            {"E", columns[16]}};
        for (const auto& [name, value] : rows) page += "<tr><td>" + xml_escaped(name) + "</td><td>" + xml_escaped(value) + "</td></tr>\n";
        page += "</table>\n";
        if (known) {
            const std::vector<motif_match>& matches = known->matches[i];
            if (matches.empty()) {
                page += "<p>No known motif matches it (q at most 0.5).</p>\n";
            } else {
                page += "<h3>Best known matches</h3>\n<table class=\"matches\">\n<thead><tr><th class=\"name\">motif</th>"
                        "<th class=\"name\">alignment (found above)</th><th>offset</th><th>orientation</th><th>p</th><th>E</th>"
                        "<th>q</th></tr></thead>\n<tbody>\n";
                for (std::size_t k = 0; k < std::min<std::size_t>(3, matches.size()); ++k) {
                    const motif_match& match = matches[k];
                    const motif& target = known->database[match.target];
                    const auto [above, below] =
                        aligned_logos(m.scores, id, match.minus ? reverse_complement(target.scores) : target.scores,
                                      target.id + (match.minus ? " (reverse complement)" : ""), match.offset);
                    page += "<tr><td class=\"name\">" + xml_escaped(target.id) + "</td><td>" +
                            svg_image(above, "logo of " + id + " as aligned", "logo") +
                            svg_image(below, "logo of " + target.id + " as aligned", "logo") + "</td><td>" +
                            std::to_string(match.offset) + "</td><td>" + (match.minus ? "-" : "+") + "</td><td>" +
                            general_of_log(match.log_p) + "</td><td>" + general_of_log(match.log_e) + "</td><td>" +
                            general_of_log(match.log_q) + "</td></tr>\n";
                }
                page += "</tbody>\n</table>\n";
            }
        }
        page += "</div>\n";
    }
    return page + page_end();
}
