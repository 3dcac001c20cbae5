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
#include "known_enrichment.h"
#include "logo.h"
#include "report.h"
#include "scanning.h"
#include "shipped_motifs.h"
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

// The Euclidean distance of two profiles.
double distance(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum);
}

// The leaves of the average-linkage tree of the profiles, each merge
// joining the two clusters at their nearest ends, so that alike profiles
// neighbour.
std::vector<std::size_t> average_linkage_order(const std::vector<std::vector<double>>& profiles) {
    const std::size_t n = profiles.size();
    std::vector<std::vector<double>> apart(n, std::vector<double>(n));  // of the profiles
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < i; ++j) apart[i][j] = apart[j][i] = distance(profiles[i], profiles[j]);
    std::vector<std::vector<double>> between = apart;  // of the clusters: the mean over their profiles
    std::vector<std::vector<std::size_t>> clusters(n);
    for (std::size_t i = 0; i < n; ++i) clusters[i] = {i};
    for (std::size_t merges = 1; merges < n; ++merges) {
        std::size_t a = n, b = n;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j)
                if (!clusters[i].empty() && !clusters[j].empty() && (a == n || between[i][j] < between[a][b])) a = i, b = j;
        std::vector<std::size_t>&left = clusters[a], &right = clusters[b];
        double nearest = INFINITY;
        bool turn_left = false, turn_right = false;
        for (const bool l : {false, true})
            for (const bool r : {false, true})
                if (const double gap = apart[l ? left.front() : left.back()][r ? right.back() : right.front()]; gap < nearest)
                    nearest = gap, turn_left = l, turn_right = r;
        if (turn_left) std::reverse(left.begin(), left.end());
        if (turn_right) std::reverse(right.begin(), right.end());
        const double in_left = static_cast<double>(left.size()), in_right = static_cast<double>(right.size());
        for (std::size_t k = 0; k < n; ++k)
            between[a][k] = between[k][a] = (in_left * between[a][k] + in_right * between[b][k]) / (in_left + in_right);
        left.insert(left.end(), right.begin(), right.end());
        right.clear();
    }
    for (std::vector<std::size_t>& cluster : clusters)
        if (!cluster.empty()) return cluster;
    return {};
}

// Which of the motifs `ranked` (best first) resemble which, by the matrices
// of the motif files: none for a motif in no file, or without files.
bool read_resemblances(const char* program, const summary_request& request, const std::vector<std::string>& ranked,
                       std::vector<std::vector<std::size_t>>& like) {
    like.assign(ranked.size(), {});
    std::vector<std::string> files = request.motif_files;
    if (files.empty()) {
        const std::string shipped = shipped_motifs_path();
        if (shipped.empty()) {
            print_error(program, std::string("warning: no motif file given (-m FILE), and the shipped ") + shipped_motifs_name +
                                     " is not installed beside the program: no families");
            return true;
        }
        files.push_back(shipped);
    }
    motif_reading reading = request.reading;
    reading.max_width = max_scan_width;  // as a run reads them
    reading.max_score = max_scan_score;
    std::vector<motif> loaded;
    if (!load_motifs(program, files, reading, {}, loaded)) return false;
    std::map<std::string, std::size_t> by_id;
    for (std::size_t i = 0; i < loaded.size(); ++i) by_id.emplace(loaded[i].id, i);
    std::vector<motif> found;
    std::vector<std::size_t> rank_of;  // of each found motif
    for (std::size_t r = 0; r < ranked.size(); ++r) {
        const auto at = by_id.find(ranked[r]);
        if (at == by_id.end()) continue;
        found.push_back(loaded[at->second]);
        rank_of.push_back(r);
    }
    if (found.size() < ranked.size())
        print_error(program, "warning: " + std::to_string(ranked.size() - found.size()) + " of the " + std::to_string(ranked.size()) +
                                 " motifs are in no motif file given: each is a family of its own");
    const std::vector<std::vector<std::size_t>> resembles = resemblances(found, std::max(1u, request.threads));
    for (std::size_t i = 0; i < found.size(); ++i)
        for (const std::size_t other : resembles[i]) like[rank_of[i]].push_back(rank_of[other]);
    return true;
}

// The table's rows: each family in the rank of its first, its motifs by rank.
std::vector<std::size_t> family_order(const std::vector<std::size_t>& first) {
    std::vector<std::size_t> order(first.size());
    for (std::size_t r = 0; r < order.size(); ++r) order[r] = r;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return first[a] < first[b]; });
    return order;
}

// `motifs` in the table's order, `first` the row of each one's family's first.
std::string heatmap(const std::vector<std::string>& sets, const std::vector<std::string>& motifs,
                    const std::vector<std::vector<double>>& table, const std::vector<std::size_t>& first) {
    // Rows: motifs of q at most 0.05 somewhere, in the table's order;
    // columns: sets by their profiles over those motifs.
    std::vector<std::size_t> shown;
    for (std::size_t m = 0; m < motifs.size(); ++m)
        if (*std::min_element(table[m].begin(), table[m].end()) <= std::log10(0.05)) shown.push_back(m);
    std::vector<std::vector<double>> columns(sets.size());
    for (const std::size_t m : shown)
        for (std::size_t s = 0; s < sets.size(); ++s) columns[s].push_back(table[m][s]);
    const std::vector<std::size_t> column_order = average_linkage_order(columns);
    std::string page = page_start("Known motifs across peak sets",
                                  "td.cell { color: #000; min-width: 4em; }\n"
                                  "tbody.family { border-top: 2px solid #555; }\n"
                                  "td.family { text-align: left; vertical-align: top; font-weight: bold; }\n");
    page += "<h1>Known motifs across peak sets</h1>\n<p>log10 q of each known motif (rows, q at most 0.05 in some set) in "
            "each peak set (columns); darker is more enriched. Motifs are grouped in families, a band each named by its "
            "first motif, as the known-motif report folds them: a motif joins the family of the best motif (lowest q in "
            "any set) it resembles by motif_compare's statistics (q at most 0.01). Families and the motifs in each are "
            "best first; sets are ordered by average-linkage clustering of their columns, so that alike sets neighbour.</p>\n"
            "<table>\n<thead><tr><th class=\"name\">family</th><th class=\"name\">motif</th>";
    for (const std::size_t s : column_order) page += "<th>" + xml_escaped(sets[s]) + "</th>";
    page += "</tr></thead>\n";
    for (std::size_t i = 0; i < shown.size();) {
        std::size_t end = i + 1;
        while (end < shown.size() && first[shown[end]] == first[shown[i]]) ++end;
        page += "<tbody class=\"family\">\n";
        for (std::size_t k = i; k < end; ++k) {
            const std::size_t m = shown[k];
            page += "<tr>";
            if (k == i)
                page += "<td class=\"family\" rowspan=\"" + std::to_string(end - i) + "\">" +
                        (end - i > 1 ? xml_escaped(motifs[first[m]]) : "") + "</td>";
            page += "<td class=\"name\">" + xml_escaped(motifs[m]) + "</td>";
            for (const std::size_t s : column_order) {
                const double shade = std::clamp(-table[m][s] / 20, 0.0, 1.0);
                const int level = static_cast<int>(255 - 200 * shade);
                page += "<td class=\"cell\" style=\"background: rgb(" + std::to_string(level) + "," + std::to_string(level) +
                        ",255)\">" + number(table[m][s]) + "</td>";
            }
            page += "</tr>\n";
        }
        page += "</tbody>\n";
        i = end;
    }
    return page + "</table>\n" + page_end();
}

}  // namespace

int write_summary(const char* program, const summary_request& request) {
    const std::vector<std::string>& folders = request.folders;
    std::vector<std::string> sets, by_name;
    std::vector<std::map<std::string, double>> per_set(folders.size());
    for (std::size_t s = 0; s < folders.size(); ++s) {
        std::vector<std::string> order;
        if (!read_known(program, folders[s], per_set[s], order)) return 1;
        if (s == 0) {
            by_name = order;
            std::sort(by_name.begin(), by_name.end());
        }
        std::string name = std::filesystem::path(folders[s]).lexically_normal().filename().string();
        if (name.empty()) name = std::filesystem::path(folders[s]).lexically_normal().parent_path().filename().string();
        sets.push_back(name);
    }
    std::vector<std::vector<double>> rows;
    for (const std::string& m : by_name) {
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
        rows.push_back(row);
    }
    for (std::size_t s = 1; s < folders.size(); ++s)
        if (per_set[s].size() != by_name.size()) {
            print_error(program, folders[s] + "/known.tsv: " + std::to_string(per_set[s].size()) + " motifs, not the " +
                                     std::to_string(by_name.size()) + " of " + folders[0] + "/known.tsv");
            return 1;
        }

    // Ranked by their best q in any set (ties by name), then by family.
    std::vector<std::size_t> rank(by_name.size());
    for (std::size_t m = 0; m < rank.size(); ++m) rank[m] = m;
    const auto best = [&](std::size_t m) { return *std::min_element(rows[m].begin(), rows[m].end()); };
    std::stable_sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) { return best(a) < best(b); });
    std::vector<std::string> ranked;
    for (const std::size_t m : rank) ranked.push_back(by_name[m]);
    std::vector<std::vector<std::size_t>> like;
    if (!read_resemblances(program, request, ranked, like)) return 1;
    // Folded as the known-motif report folds them.
    const std::vector<std::size_t> first_by_rank = fold_families(like).first, order = family_order(first_by_rank);
    std::vector<std::size_t> row_of_rank(rank.size());
    for (std::size_t row = 0; row < order.size(); ++row) row_of_rank[order[row]] = row;
    std::vector<std::string> motifs;
    std::vector<std::vector<double>> table;
    std::vector<std::size_t> first;  // each row's family's first row
    std::string out = "motif\tfamily";
    for (const std::string& set : sets) out += "\t" + set;
    out += "\n";
    for (const std::size_t r : order) {
        motifs.push_back(ranked[r]);
        table.push_back(rows[rank[r]]);
        first.push_back(row_of_rank[first_by_rank[r]]);
        out += ranked[r] + "\t" + ranked[first_by_rank[r]];
        for (const double v : table.back()) out += "\t" + number(v);
        out += "\n";
    }
    if (!request.html.empty() && !write_file(program, request.html, heatmap(sets, motifs, table, first))) return 1;
    return write_output(program, out) ? 0 : 1;
}
