// What the module's scanning calls (scan, enrich) are told alike, checked
// as the programs check their options: strands, threads, the threshold,
// the background, and the motifs scored against it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "engine.h"
#include "scan_options.h"

scan_settings scan_settings_of(const std::string& strand, std::optional<long long> threads) {
    if (strand != "both" && strand != "+" && strand != "-") raise(PyExc_ValueError, "strand: '" + strand + "' is not both, + or -");
    scan_settings settings;
    settings.plus = strand != "-";
    settings.minus = strand != "+";
    settings.threads = threads ? whole_in_range("threads", *threads, max_threads) : std::max(1u, std::thread::hardware_concurrency());
    return settings;
}

threshold threshold_of(bool by_score, double value) {
    if (!std::isfinite(value) || (!by_score && !(value > 0 && value <= 1)))
        raise(PyExc_ValueError, by_score ? "score: " + std::to_string(value) + " is not a finite number"
                                         : "p: " + std::to_string(value) + " is not a p-value in (0, 1]");
    return threshold{by_score, value, uniform_bases};
}

base_frequencies background_of(const std::string& bg, const std::vector<motif>& motifs, bool of_motifs,
                               const std::function<bool(base_counts&)>& count) {
    background_choice choice;
    try {
        const captured_errors errors;
        take_background_option(program, bg.c_str(), of_motifs, choice);
    } catch (const usage_failure& failure) {
        raise(PyExc_ValueError, std::string("bg") + (failure.what() + std::strlen("option --bg")));
    }
    if (!choice.file.empty()) check_readable(choice.file);
    base_frequencies given = uniform_bases;
    std::vector<std::string> lines;
    {
        py::gil_scoped_release released;  // counting reads all the sequences
        captured_errors errors;
        bool ok = true;
        if (choice.counted) {
            base_counts counts;
            ok = count(counts);
            std::string error;
            if (ok && !frequencies_of_counts(counts, choice.frequencies, error)) {
                print_error(program, "bg auto: " + error);
                ok = false;
            }
        }
        if (ok) ok = chosen_background(program, choice, given);
        lines = errors.lines;
        if (!ok && lines.empty()) lines.push_back("bg: the background could not be read");
    }
    if (!lines.empty()) report_captured(lines);
    if (choice.of_motifs) {
        const auto first = std::find_if(motifs.begin(), motifs.end(),
                                        [](const motif& m) { return m.format == motif_format::meme && m.background; });
        if (first != motifs.end()) given = *first->background;
    }
    return given;
}

void score_for_scanning(std::vector<motif>& motifs, const threshold& wanted) {
    for (motif& m : motifs) {
        if (m.scores.empty() || m.scores.size() > max_scan_width)
            raise(PyExc_ValueError, m.id + ": " + std::to_string(m.scores.size()) + " positions, not 1 to " +
                                        std::to_string(max_scan_width));
        for (const auto& column : m.scores)
            for (const double score : column)
                if (!(std::fabs(score) <= max_scan_score)) raise(PyExc_ValueError, m.id + ": a score beyond +-1e9");
        // Counts are scored against the background, as the programs read them.
        if (!m.counts.empty() && m.format != motif_format::matrix)
            for (std::size_t p = 0; p < m.counts.size(); ++p) m.scores[p] = scores_from_counts(m.counts[p], wanted.background);
    }
    make_identifiers_unique(motifs);
}
