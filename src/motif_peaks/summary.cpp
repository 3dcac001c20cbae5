#include "summary.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "html.h"
#include "logo.h"
#include "report.h"
#include "write_all.h"

namespace {

// A set's log10 q per motif, from its known.tsv. A q printed as 0 is below
// the range of doubles: its p (a lower bound, and near it there) stands in.
bool read_known(const char* program, const std::string& folder, std::map<std::string, double>& log_q, std::vector<std::string>& order) {
    const std::string path = (std::filesystem::path(folder) / "known.tsv").string();
    std::ifstream lines(path);
    if (!lines) {
        print_error(program, path + ": " + std::strerror(errno));
        return false;
    }
    std::string line;
    std::getline(lines, line);
    // A run under another background than the uniform one says it first.
    if (line.rfind("# background: ", 0) == 0) std::getline(lines, line);
    if (line.rfind("rank\tmotif\t", 0) != 0) {
        print_error(program, path + ": not the known.tsv of motif_peaks");
        return false;
    }
    while (std::getline(lines, line)) {
        std::vector<std::string> columns;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) columns.push_back(field);
        if (columns.size() < 13) {
            print_error(program, path + ": a line of " + std::to_string(columns.size()) + " columns, not 13");
            return false;
        }
        const double q = std::strtod(columns[12].c_str(), nullptr);
        log_q[columns[1]] = q > 0 ? std::log10(q) : std::strtod(columns[10].c_str(), nullptr);
        order.push_back(columns[1]);
    }
    return true;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

double distance(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum;
}

// An order of the profiles in which each is followed by the nearest left,
// from the first: alike neighbours, without a full clustering.
std::vector<std::size_t> nearest_chain(const std::vector<std::vector<double>>& profiles) {
    std::vector<std::size_t> chain;
    std::vector<bool> used(profiles.size());
    for (std::size_t k = 0; k < profiles.size(); ++k) {
        std::size_t next = profiles.size();
        for (std::size_t i = 0; i < profiles.size(); ++i)
            if (!used[i] && (next == profiles.size() ||
                             (!chain.empty() && distance(profiles[chain.back()], profiles[i]) < distance(profiles[chain.back()], profiles[next]))))
                next = i;
        used[next] = true;
        chain.push_back(next);
    }
    return chain;
}

std::string heatmap(const std::vector<std::string>& sets, const std::vector<std::string>& motifs,
                    const std::vector<std::vector<double>>& table) {
    // Rows: motifs of q at most 0.05 somewhere, most enriched first and
    // then each followed by the one of the nearest profile; columns: sets
    // likewise, by their profiles over those motifs.
    std::vector<std::size_t> shown;
    for (std::size_t m = 0; m < motifs.size(); ++m)
        if (*std::min_element(table[m].begin(), table[m].end()) <= std::log10(0.05)) shown.push_back(m);
    std::stable_sort(shown.begin(), shown.end(), [&](std::size_t a, std::size_t b) {
        return *std::min_element(table[a].begin(), table[a].end()) < *std::min_element(table[b].begin(), table[b].end());
    });
    std::vector<std::vector<double>> rows, columns(sets.size());
    for (const std::size_t m : shown) {
        rows.push_back(table[m]);
        for (std::size_t s = 0; s < sets.size(); ++s) columns[s].push_back(table[m][s]);
    }
    const std::vector<std::size_t> row_order = nearest_chain(rows), column_order = nearest_chain(columns);
    std::string page = page_start("Known motifs across peak sets", "td.cell { color: #000; min-width: 4em; }\n");
    page += "<h1>Known motifs across peak sets</h1>\n<p>log10 q of each known motif (rows, q at most 0.05 in some set) in "
            "each peak set (columns); darker is more enriched. Motifs and sets are ordered so that alike profiles neighbour.</p>\n"
            "<table>\n<thead><tr><th class=\"name\">motif</th>";
    for (const std::size_t s : column_order) page += "<th>" + xml_escaped(sets[s]) + "</th>";
    page += "</tr></thead>\n<tbody>\n";
    for (const std::size_t r : row_order) {
        const std::size_t m = shown[r];
        page += "<tr><td class=\"name\">" + xml_escaped(motifs[m]) + "</td>";
        for (const std::size_t s : column_order) {
            const double shade = std::clamp(-table[m][s] / 20, 0.0, 1.0);
            const int level = static_cast<int>(255 - 200 * shade);
            page += "<td class=\"cell\" style=\"background: rgb(" + std::to_string(level) + "," + std::to_string(level) +
                    ",255)\">" + number(table[m][s]) + "</td>";
        }
        page += "</tr>\n";
    }
    return page + "</tbody>\n</table>\n" + page_end();
}

}  // namespace

int write_summary(const char* program, const std::vector<std::string>& folders, const std::string& html) {
    std::vector<std::string> sets, motifs;
    std::vector<std::map<std::string, double>> per_set(folders.size());
    for (std::size_t s = 0; s < folders.size(); ++s) {
        std::vector<std::string> order;
        if (!read_known(program, folders[s], per_set[s], order)) return 1;
        if (s == 0) {
            motifs = order;
            std::sort(motifs.begin(), motifs.end());
        }
        std::string name = std::filesystem::path(folders[s]).lexically_normal().filename().string();
        if (name.empty()) name = std::filesystem::path(folders[s]).lexically_normal().parent_path().filename().string();
        sets.push_back(name);
    }
    std::vector<std::vector<double>> table;
    std::string out = "motif";
    for (const std::string& set : sets) out += "\t" + set;
    out += "\n";
    for (const std::string& m : motifs) {
        std::vector<double> row;
        for (std::size_t s = 0; s < folders.size(); ++s) {
            const auto found = per_set[s].find(m);
            if (found == per_set[s].end()) {
                print_error(program, folders[s] + "/known.tsv: no motif " + m + ", which " + folders[0] +
                                         "/known.tsv has: the sets were analysed with different motifs");
                return 1;
            }
            row.push_back(found->second);
        }
        out += m;
        for (const double v : row) out += "\t" + number(v);
        out += "\n";
        table.push_back(row);
    }
    for (std::size_t s = 1; s < folders.size(); ++s)
        if (per_set[s].size() != motifs.size()) {
            print_error(program, folders[s] + "/known.tsv: " + std::to_string(per_set[s].size()) + " motifs, not the " +
                                     std::to_string(motifs.size()) + " of " + folders[0] + "/known.tsv");
            return 1;
        }
    if (!html.empty() && !write_file(program, html, heatmap(sets, motifs, table))) return 1;
    return write_output(program, out) ? 0 : 1;
}
