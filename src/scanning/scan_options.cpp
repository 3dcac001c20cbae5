// The options motif_scan and motif_enrich share, and reading their motifs.
#include "scan_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "kernels.h"
#include "report.h"

const char* const scan_options_help =
    "  -m, --matrix FILE     a motif file; repeat for several\n"
    "      --motif ID        only the motifs of this identifier, ID or name;\n"
    "                        repeat for several\n"
    "      --format NAME     read the motif files as matrix, jaspar, meme,\n"
    "                        transfac or homer\n"
    "      --sites N         site count of probabilities where a file gives none\n"
    "                        (default 20)\n"
    "  -p, --p-value P       sites of p-value at most P (default 1e-4)\n"
    "  -s, --score SCORE     sites of score at least SCORE instead\n"
    "      --strand S        both (default), + or -\n"
    "      --bg BG           base frequencies of sequence without sites, for scores\n"
    "                        from counts and for p-values: uniform (default),\n"
    "                        A,C,G,T as four numbers, a file of MEME's background\n"
    "                        format, motif (the first MEME file's) or auto (the\n"
    "                        base counts of the sequences, both strands)\n"
    "  -j, --threads N       threads to scan with (default: all cores, at most 64)\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n";

namespace {

enum { strand_option = 1000, version_option, motif_option, format_option, sites_option, background_option };

// --bg A,C,G,T: four frequencies, adding up to 1 as closely as typed numbers can.
base_frequencies frequencies_of_option(const char* program, const char* value) {
    base_frequencies frequencies{};
    const char* at = value;
    for (int b = 0; b < 4; ++b) {
        char* end = nullptr;
        errno = 0;
        frequencies[b] = std::strtod(at, &end);
        if (end == at || errno != 0 || std::isspace(static_cast<unsigned char>(*at)) || *end != (b < 3 ? ',' : '\0'))
            usage_error(program, std::string("option --bg: '") + value + "' is not four frequencies A,C,G,T");
        at = end + 1;
    }
    if (const std::string fault = frequencies_fault(frequencies, 1e-6); !fault.empty())
        usage_error(program, std::string("option --bg: '") + value + "': " + fault);
    return frequencies;
}

}  // namespace

void take_background_option(const char* program, const char* value, bool of_motifs, background_choice& choice) {
    choice = background_choice{};
    if (of_motifs && std::strcmp(value, "motif") == 0) {
        choice.of_motifs = true;
    } else if (std::strcmp(value, "auto") == 0) {
        choice.counted = true;
    } else if (std::strchr(value, ',')) {
        choice.frequencies = frequencies_of_option(program, value);
    } else if (*value == '\0') {
        usage_error(program, std::string("option --bg: '' is not uniform, auto, ") + (of_motifs ? "motif, " : "") +
                                 "A,C,G,T nor a file");
    } else if (std::strcmp(value, "uniform") != 0) {
        choice.file = value;
    }
}

bool chosen_background(const char* program, const background_choice& choice, base_frequencies& frequencies) {
    frequencies = choice.frequencies;
    if (choice.file.empty()) return true;
    std::string error, warning;
    if (!read_background_file(choice.file, frequencies, error, warning)) {
        print_error(program, error);
        return false;
    }
    if (!warning.empty()) print_error(program, "warning: " + warning);
    return true;
}

std::string background_text(const base_frequencies& frequencies) {
    char text[96];
    std::snprintf(text, sizeof text, "A %.4g C %.4g G %.4g T %.4g", frequencies[0], frequencies[1], frequencies[2],
                  frequencies[3]);
    return text;
}

std::vector<option> scan_long_options(const std::vector<option>& more) {
    std::vector<option> all = {
        {"matrix", required_argument, nullptr, 'm'},        {"p-value", required_argument, nullptr, 'p'},
        {"score", required_argument, nullptr, 's'},         {"strand", required_argument, nullptr, strand_option},
        {"threads", required_argument, nullptr, 'j'},       {"help", no_argument, nullptr, 'h'},
        {"motif", required_argument, nullptr, motif_option}, {"format", required_argument, nullptr, format_option},
        {"sites", required_argument, nullptr, sites_option}, {"version", no_argument, nullptr, version_option},
        {"bg", required_argument, nullptr, background_option}};
    all.insert(all.end(), more.begin(), more.end());
    all.push_back({nullptr, 0, nullptr, 0});
    return all;
}

bool take_scan_option(const char* program, const char* usage, int c, const char* value, scan_options& options) {
    switch (c) {
    case 'm':
        options.motif_files.emplace_back(value);
        return true;
    case 'p':
        options.p_given = true;
        options.wanted = {false, number_option(program, "-p", value)};
        if (!(options.wanted.value > 0 && options.wanted.value <= 1))
            usage_error(program, std::string("option -p: '") + value + "' is not a p-value in (0, 1]");
        return true;
    case 's':
        options.score_given = true;
        options.wanted = {true, number_option(program, "-s", value)};
        return true;
    case strand_option:
        if (std::strcmp(value, "both") == 0) {
            options.settings.plus = options.settings.minus = true;
        } else if (std::strcmp(value, "+") == 0) {
            options.settings.plus = true;
            options.settings.minus = false;
        } else if (std::strcmp(value, "-") == 0) {
            options.settings.plus = false;
            options.settings.minus = true;
        } else {
            usage_error(program, std::string("option --strand: '") + value + "' is not both, + or -");
        }
        return true;
    case 'j':
        options.settings.threads = threads_option(program, value);
        return true;
    case motif_option:
        options.motif_names.emplace_back(value);
        return true;
    case format_option:
        options.reading.format = format_of_option(program, value);
        return true;
    case sites_option:
        options.reading.sites = sites_of_option(program, value);
        return true;
    case background_option:
        take_background_option(program, value, true, options.background);
        return true;
    case 'h':
        print_and_exit(program, usage);
    case version_option:
        print_and_exit(program, std::string(program) + " " + MOTIF_VERSION + "\n");
    default:
        return false;
    }
}

bool repeatable_scan_option(int c) { return c == 'm' || c == motif_option; }

void check_scan_options(const char* program, scan_options& options) {
    if (options.p_given && options.score_given) usage_error(program, "options -p and -s exclude each other");
    if (options.motif_files.empty()) usage_error(program, "no matrix given (-m FILE)");
    if (options.settings.threads == 0) options.settings.threads = std::max(1u, std::thread::hardware_concurrency());
    options.reading.max_width = max_scan_width;
    options.reading.max_score = max_scan_score;
}

void warn_unreachable(const char* program, const std::vector<scan_matrix>& matrices, const threshold& wanted) {
    std::vector<const scan_matrix*> hopeless;
    for (const scan_matrix& m : matrices)
        if (m.hopeless) hopeless.push_back(&m);
    if (hopeless.empty()) return;
    char text[160];
    if (hopeless.size() == 1) {
        const scan_matrix& m = *hopeless[0];
        if (wanted.by_score) {
            double best = 0;
            for (const auto& column : m.scores) best += *std::max_element(column.begin(), column.end());
            std::snprintf(text, sizeof text, ": no window can reach score %g (the best scores %g)", wanted.value, best);
        } else {
            std::snprintf(text, sizeof text, ": no window can reach p <= %g (the best has p = %.3g)", wanted.value,
                          m.grid.tail.back());
        }
        print_error(program, "warning: " + m.name + text);
        return;
    }
    // Databases hold many short motifs: one line for them all, not a screenful.
    constexpr std::size_t named = 3;
    std::snprintf(text, sizeof text, wanted.by_score ? "%zu motifs can never be reported: no window can reach score %g ("
                                                     : "%zu motifs can never be reported: no window can reach p <= %g (",
                  hopeless.size(), wanted.value);
    std::string line = std::string("warning: ") + text;
    for (std::size_t i = 0; i < std::min(named, hopeless.size()); ++i)
        line += (i == 0 ? "" : i + 1 == hopeless.size() ? " and " : ", ") + hopeless[i]->name;
    if (hopeless.size() > named) line += " and " + std::to_string(hopeless.size() - named) + " more";
    print_error(program, line + "; motif_scan --list shows each motif's best p-value)");
}

base_frequencies background_of_strands(const base_frequencies& given, const scan_settings& strands) {
    base_frequencies scanned = given;
    for (int b = 0; b < 4; ++b) {
        if (!strands.plus) scanned[b] = given[3 - b];
        else if (strands.minus) scanned[b] = (given[b] + given[3 - b]) / 2;
    }
    return scanned;
}

bool load_scan_motifs(const char* program, const scan_options& options, std::vector<motif>& motifs,
                      std::vector<scan_matrix>& matrices) {
    base_frequencies given;
    if (!chosen_background(program, options.background, given)) return false;
    motif_reading reading = options.reading;
    const bool of_motifs = options.background.of_motifs;
    if (of_motifs) {
        // Counts are scored as they are read: the background comes first,
        // from a reading that scores them over the uniform one.
        reading.file_background = true;
        if (!load_motifs(program, options.motif_files, reading, options.motif_names, motifs)) return false;
        const auto first = std::find_if(motifs.begin(), motifs.end(), [](const motif& m) { return m.format == motif_format::meme; });
        if (first != motifs.end() && first->background) given = *first->background;
    }
    reading.background = background_of_strands(given, options.settings);
    if (!of_motifs || reading.background != uniform_bases) {
        motifs.clear();
        if (!load_motifs(program, options.motif_files, reading, options.motif_names, motifs)) return false;
    }
    threshold wanted = options.wanted;
    wanted.background = reading.background;
    matrices = prepare_matrices(motifs, wanted, options.settings.threads, &kernels_in_use(options.settings));
    warn_coarse_grids(program, matrices);
    return true;
}
