#include "results.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bases.h"
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

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += digits[group >> 18 & 63];
        out += digits[group >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return out;
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

std::string consensus_of(const std::vector<std::array<double, 4>>& scores) {
    std::string consensus;
    for (const auto& column : scores) {
        const logo_stack stack = stack_of(column);
        const auto best = static_cast<int>(std::max_element(stack.probability.begin(), stack.probability.end()) -
                                           stack.probability.begin());
        consensus += stack.probability[best] >= 0.5 ? base_letters[best] : static_cast<char>(base_letters[best] + 32);
    }
    return consensus;
}

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
                              const run_description& run) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Motif enrichment: " + xml_escaped(run.targets) + "</title>\n"
        "<style>\n"
        "body { font-family: Helvetica, Arial, sans-serif; margin: 2em; color: #222; }\n"
        "table { border-collapse: collapse; }\n"
        "th, td { padding: 0.2em 0.5em; border-bottom: 1px solid #ddd; text-align: right; vertical-align: middle; }\n"
        "table.motifs { font-size: 0.9em; }\n"
        "td { white-space: nowrap; }\n"
        "th { background: #f0f0f0; }\n"
        "table.run th, table.run td, td.name, th.name { text-align: left; }\n"
        "td.consensus { text-align: left; font-family: monospace; font-size: 1.1em; }\n"
        "img.logo { height: 72px; display: block; }\n"
        "</style>\n</head>\n<body>\n<h1>Motif enrichment</h1>\n<table class=\"run\">\n";
    const std::pair<const char*, std::string> settings[] = {
        {"targets", run.targets}, {"controls", run.controls}, {"motifs", run.motifs}, {"sites", run.threshold},
        {"program", run.version}};
    for (const auto& [name, value] : settings)
        page += "<tr><th>" + std::string(name) + "</th><td>" + xml_escaped(value) + "</td></tr>\n";
    // The table's columns but the counts of targets and controls (above),
    // the logo beside the motif's name.
    page += "</table>\n<h2>Motifs, most enriched first</h2>\n<table class=\"motifs\">\n<thead><tr>";
    const std::pair<const char*, std::size_t> shown[] = {
        {"rank", 0}, {"motif", 1}, {"logo", 13}, {"consensus", 2}, {"targets with a site", 3}, {"%", 5},
        {"controls with a site", 6}, {"%", 8}, {"enrichment", 9}, {"log10 p", 10}, {"p", 11}, {"q", 12}};
    for (const auto& [label, column] : shown)
        page += std::string(column == 1 || column == 2 || column == 13 ? "<th class=\"name\">" : "<th>") + label + "</th>";
    page += "</tr></thead>\n<tbody>\n";
    // q falls with p, so the motifs of q <= 0.05 come first.
    std::size_t drawn = 10;
    for (std::size_t i = 0; i < results.size(); ++i)
        if (std::exp(results[i].log_q) <= 0.05) drawn = std::max(drawn, i + 1);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const motif& m = motifs[results[i].motif];
        const std::vector<std::string> columns = columns_of(results[i], i + 1, m, run.target_count, run.control_count);
        page += "<tr>";
        for (const auto& [label, column] : shown) {
            if (column == 13) {
                page += "<td>";
                if (i < drawn)
                    page += "<img class=\"logo\" alt=\"logo of " + xml_escaped(m.id) + "\" src=\"data:image/svg+xml;base64," +
                            base64(logo_svg(m.scores, m.id)) + "\">";
                page += "</td>";
            } else {
                page += std::string(column == 1 ? "<td class=\"name\">" : column == 2 ? "<td class=\"consensus\">" : "<td>") +
                        xml_escaped(columns[column]) + "</td>";
            }
        }
        page += "</tr>\n";
    }
    page += "</tbody>\n</table>\n</body>\n</html>\n";
    return page;
}
