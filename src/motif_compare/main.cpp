// motif_compare: which known motifs a motif resembles. Each query is
// aligned with every target on both strands at every offset, scored by the
// correlation of its columns' frequencies, with exact p-values corrected
// for the alignments tried, E-values and Benjamini-Hochberg q-values; one
// tab-separated line per pair within the q-value limit.
#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "comparing.h"
#include "report.h"
#include "results.h"
#include "write_all.h"

namespace {

const char* const program = "motif_compare";

// A query's matches beyond this many are never read.
constexpr std::uint64_t max_top = 1000000;

const char* const usage =
    "Usage: motif_compare [options] QUERIES [TARGETS]\n"
    "\n"
    "Compares each motif of QUERIES with every motif of TARGETS (a database such\n"
    "as JASPAR), or without TARGETS with every motif of QUERIES, itself included:\n"
    "each alignment on both strands at every offset scores the correlations of the\n"
    "facing columns' base frequencies, and gets an exact p-value. One line per\n"
    "pair of q-value at most --max-q, each query's best first, tab-separated:\n"
    "  query  target  offset  orientation  overlap  p  E  q\n"
    "  query_consensus  target_consensus\n"
    "Motif files (plain or gzip, '-' for standard input) are matrix files, or\n"
    "JASPAR, MEME, TRANSFAC or HOMER files, told apart by their content.\n"
    "\n"
    "Options:\n"
    "      --motif ID        compare only the queries of this identifier, ID or\n"
    "                        name; repeat for several\n"
    "      --format NAME     read the motif files as matrix, jaspar, meme,\n"
    "                        transfac or homer\n"
    "      --sites N         site count of probabilities where a file gives none\n"
    "                        (default 20)\n"
    "      --min-overlap N   columns an alignment has in common at least (default\n"
    "                        5, or the narrower motif's width; at most 100)\n"
    "      --max-q Q         report pairs of q-value at most Q (default 0.5)\n"
    "      --top N           report at most N targets per query (N at most\n"
    "                        1000000)\n"
    "      --html FILE       write a report page with the aligned logos to FILE\n"
    "  -j, --threads N       threads (default: all cores, at most 64)\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n";

struct command_line {
    std::string queries, targets, html;
    std::vector<std::string> wanted;
    motif_reading reading;
    compare_settings settings;
    std::size_t top = SIZE_MAX;
};

command_line parse_options(int argc, char** argv) {
    enum { version_option = 1000, motif_option, format_option, sites_option, overlap_option, max_q_option, top_option, html_option };
    static const option long_options[] = {{"motif", required_argument, nullptr, motif_option},
                                          {"format", required_argument, nullptr, format_option},
                                          {"sites", required_argument, nullptr, sites_option},
                                          {"min-overlap", required_argument, nullptr, overlap_option},
                                          {"max-q", required_argument, nullptr, max_q_option},
                                          {"top", required_argument, nullptr, top_option},
                                          {"html", required_argument, nullptr, html_option},
                                          {"threads", required_argument, nullptr, 'j'},
                                          {"help", no_argument, nullptr, 'h'},
                                          {"version", no_argument, nullptr, version_option},
                                          {nullptr, 0, nullptr, 0}};
    command_line line;
    line.reading.max_width = max_compare_width;
    line.settings.threads = std::max(1u, std::thread::hardware_concurrency());
    std::set<int> seen;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":j:h", long_options, nullptr)) != -1) {
        refuse_repeat(program, c, long_options, {motif_option}, seen);
        switch (c) {
        case motif_option:
            line.wanted.emplace_back(optarg);
            break;
        case format_option:
            line.reading.format = format_of_option(program, optarg);
            break;
        case sites_option:
            line.reading.sites = sites_of_option(program, optarg);
            break;
        case overlap_option:
            line.settings.min_overlap = whole_option(program, "--min-overlap", optarg, 1, max_compare_width);
            break;
        case max_q_option:
            line.settings.max_q = number_option(program, "--max-q", optarg);
            if (!(line.settings.max_q > 0 && line.settings.max_q <= 1))
                usage_error(program, std::string("option --max-q: '") + optarg + "' is not a q-value in (0, 1]");
            break;
        case top_option:
            line.top = whole_option(program, "--top", optarg, 1, max_top);
            break;
        case html_option:
            line.html = optarg;
            if (line.html.empty()) usage_error(program, "option --html: the file name is empty");
            break;
        case 'j':
            line.settings.threads = threads_option(program, optarg);
            break;
        case 'h':
            print_and_exit(program, usage);
        case version_option:
            print_and_exit(program, std::string(program) + " " + MOTIF_VERSION + "\n");
        default:
            option_error(program, c, argv);
        }
    }
    if (optind == argc) usage_error(program, "no motif file given");
    if (argc - optind > 2) usage_error(program, "a query file and at most one target file, not " + std::to_string(argc - optind) + " files");
    line.queries = argv[optind];
    if (argc - optind == 2) line.targets = argv[optind + 1];
    if (line.queries == "-" && line.targets == "-") usage_error(program, "standard input can hold only one of the files");
    refuse_output_over_input(program, {line.queries, line.targets}, {line.html});
    return line;
}

std::string count_of(const std::string& path, std::size_t motifs) {
    return (path == "-" ? std::string("standard input") : path) + ": " + std::to_string(motifs) + " motifs";
}

}  // namespace

int run(int argc, char** argv) {
    const command_line line = parse_options(argc, argv);

    // Without targets, the queries' file is the database too: read once,
    // the queries picked from it.
    std::vector<motif> targets, queries;
    working_on("reading the motifs");
    if (line.targets.empty()) {
        std::vector<std::size_t> picked;
        if (!load_motif_set(program, {line.queries}, line.reading, line.wanted, targets, picked)) return 1;
        for (const std::size_t i : picked) queries.push_back(targets[i]);
    } else {
        if (!load_motifs(program, {line.queries}, line.reading, line.wanted, queries)) return 1;
        if (!load_motifs(program, {line.targets}, line.reading, {}, targets)) return 1;
    }

    working_on("comparing the motifs");
    const std::vector<std::vector<motif_match>> matches = compare_motifs(queries, targets, line.settings);
    working_on("writing the results");

    // The report first: a run that fails to write it prints no table.
    if (!line.html.empty()) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", line.settings.max_q);
        const std::vector<std::pair<std::string, std::string>> settings = {
            {"queries", count_of(line.queries, queries.size())},
            {"targets", line.targets.empty() ? "the queries' file, every motif" : count_of(line.targets, targets.size())},
            {"alignments", "both strands, at least " + std::to_string(line.settings.min_overlap) + " columns in common"},
            {"reported", std::string("q-value at most ") + limit +
                             (line.top == SIZE_MAX ? "" : ", the first " + std::to_string(line.top) + " per query")},
            {"program", std::string(program) + " " + MOTIF_VERSION}};
        if (!write_file(program, line.html, comparison_report(queries, targets, matches, line.top, settings))) return 1;
    }
    return write_output(program, comparison_table(queries, targets, matches, line.top)) ? 0 : 1;
}

int main(int argc, char** argv) {
    return guarded_main(program, [&] { return run(argc, argv); });
}
