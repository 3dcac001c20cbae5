// motif_discover: the motifs over-represented in a set of sequences (peaks,
// promoters) against controls, found de novo, each judged on records held
// out of the search; written in MEME's text format for the other programs.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "comparing.h"
#include "control_options.h"
#include "controls.h"
#include "discover.h"
#include "region_records.h"
#include "report.h"
#include "discovery_report.h"
#include "scan_options.h"
#include "search_options.h"
#include "write_all.h"

namespace {

const char* const program = "motif_discover";

const std::string usage = std::string(
    "Usage: motif_discover [options] TARGETS.fa [CONTROL.fa]\n"
    "       motif_discover [options] --regions PEAKS --genome GENOME.fa\n"
    "\n"
    "Finds the motifs over-represented in the target sequences (plain or gzip\n"
    "FASTA: peaks, promoters) against the controls, on both strands: enriched\n"
    "words as seeds, each refined as a count matrix to the records holding a\n"
    "site, the best judged by Fisher's test on a tenth of the records held out\n"
    "of the search, its sites masked before the next. Without CONTROL.fa the\n"
    "controls are the targets shuffled, each record's trinucleotides kept. With\n"
    "--regions, the targets are the regions of the genome (named\n"
    "chrom:start-end), and the controls random regions of the genome of each\n"
    "target's length and GC content. The motifs go to standard output in\n"
    "MEME's text format.\n"
    "\n"
    "Options:\n") +
    search_options_help + region_options_help + control_regions_help + control_options_help +
    "      --bg BG           base frequencies of sequence without sites, for the\n"
    "                        matrices' scores and p-values, and written in the\n"
    "                        output: uniform (default), A,C,G,T as four numbers,\n"
    "                        a file of MEME's background format, or auto (the base\n"
    "                        counts of targets and controls, both strands)\n"
    "      --shuffle-kmer K  keep each target's counts of 3-mers (default) or 2-mers\n"
    "                        in its shuffles (2: those of motif_enrich)\n"
    "      --control-out FILE  write the controls used to FILE: FASTA, or BED of\n"
    "                        the regions drawn with --background gc\n"
    "      --held-out PREFIX write the records judged on to PREFIX_targets.fa and\n"
    "                        PREFIX_controls.fa\n"
    "      --null-searches N with fewer than 100 targets, calibrate the p-values by N\n"
    "                        searches of shuffled targets (default 50; 10 to 1000,\n"
    "                        or 0: uncalibrated)\n"
    "      --tsv FILE        write a table of the motifs and their numbers to FILE\n"
    "      --compare DB      name each motif by its best matches among the motifs\n"
    "                        of DB (any motif file); repeat for several\n"
    "      --html FILE       write a report page with the motifs' logos to FILE\n"
    "  -j, --threads N       threads (default: all cores, at most 64)\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n";

struct command_line {
    discover_settings settings;
    region_options regions;
    control_options drawn;
    background_choice bg;
    std::string targets, controls, control_out, held_out, tsv, html;
    std::vector<std::string> databases;
    std::uint64_t kmer = 3;
};

// Where --held-out writes the records of one kind: '-' takes both.
std::string held_out_path(const command_line& line, const char* kind) {
    return line.held_out.empty() || line.held_out == "-" ? line.held_out : line.held_out + kind;
}

command_line parse_options(int argc, char** argv) {
    enum {
        version_option = 1000, control_out_option, held_out_option, tsv_option, compare_option, html_option, kmer_option,
        null_searches_option, bg_option
    };
    static const std::vector<option> long_options = [] {
        std::vector<option> all = region_long_options();
        for (const std::vector<option>& more : {search_long_options(), control_long_options()})
            all.insert(all.end(), more.begin(), more.end());
        all.insert(all.end(), {control_regions_long_option(),
                               {"shuffle-kmer", required_argument, nullptr, kmer_option},
                               {"control-out", required_argument, nullptr, control_out_option},
                               {"held-out", required_argument, nullptr, held_out_option},
                               {"null-searches", required_argument, nullptr, null_searches_option},
                               {"tsv", required_argument, nullptr, tsv_option},
                               {"compare", required_argument, nullptr, compare_option},
                               {"html", required_argument, nullptr, html_option},
                               {"threads", required_argument, nullptr, 'j'},
                               {"help", no_argument, nullptr, 'h'},
                               {"version", no_argument, nullptr, version_option},
                               {"bg", required_argument, nullptr, bg_option},
                               {nullptr, 0, nullptr, 0}});
        return all;
    }();
    command_line line;
    line.settings.threads = std::max(1u, std::thread::hardware_concurrency());
    const auto file_name = [&](const char* option, std::string& into) {
        into = optarg;
        if (into.empty()) usage_error(program, std::string("option ") + option + ": the file name is empty");
    };
    std::set<int> seen;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":j:h", long_options.data(), nullptr)) != -1) {
        refuse_repeat(program, c, long_options.data(), {compare_option}, seen);
        if (take_region_option(program, c, optarg, line.regions)) continue;
        if (take_control_regions_option(program, c, optarg, line.regions)) continue;
        if (take_search_option(program, c, optarg, line.settings)) continue;
        if (take_control_option(program, c, optarg, line.drawn)) continue;
        switch (c) {
        case bg_option:
            take_background_option(program, optarg, false, line.bg);
            break;
        case kmer_option:
            line.kmer = whole_option(program, "--shuffle-kmer", optarg, 2, UINT64_MAX);
            if (line.kmer > 3) usage_error(program, std::string("option --shuffle-kmer: '") + optarg + "' is not 2 or 3");
            line.settings.shuffle_kmer = line.kmer;
            break;
        case control_out_option:
            file_name("--control-out", line.control_out);
            break;
        case held_out_option:
            file_name("--held-out", line.held_out);
            break;
        case null_searches_option:
            line.settings.null_searches = whole_option(program, "--null-searches", optarg, 0, UINT64_MAX);
            if (line.settings.null_searches > max_null_searches ||
                (line.settings.null_searches > 0 && line.settings.null_searches < least_null_searches))
                usage_error(program, std::string("option --null-searches: '") + optarg + "' is not 0 nor from " +
                                         std::to_string(least_null_searches) + " to " + std::to_string(max_null_searches));
            break;
        case tsv_option:
            file_name("--tsv", line.tsv);
            break;
        case compare_option:
            line.databases.emplace_back();
            file_name("--compare", line.databases.back());
            break;
        case html_option:
            file_name("--html", line.html);
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
    check_search_options(program, line.settings);
    line.settings.seed = line.drawn.seed;  // it picks the records held out too
    take_target_files(program, line.regions, line.drawn, argc - optind, argv + optind, line.databases, line.targets,
                      line.controls);
    std::vector<std::string> inputs = line.databases;
    inputs.insert(inputs.end(), {line.targets, line.controls, line.regions.regions, line.regions.genome, line.regions.control_regions});
    refuse_output_over_input(program, inputs, {line.control_out, held_out_path(line, "_targets.fa"),
                                               held_out_path(line, "_controls.fa"), line.tsv, line.html});
    return line;
}

std::vector<sequence_record> picked(const std::vector<sequence_record>& records, const std::vector<bool>& held_out, bool any) {
    std::vector<sequence_record> out;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (held_out[i] || !any) out.push_back(records[i]);
    return out;
}

}  // namespace

int run(int argc, char** argv) {
    const command_line line = parse_options(argc, argv);
    discover_settings search = line.settings;
    base_frequencies given;
    if (!line.bg.counted && !chosen_background(program, line.bg, given)) return 1;

    known_matches known;
    working_on("reading the motifs to compare with");
    if (!line.databases.empty()) {
        motif_reading reading;
        reading.max_width = max_compare_width;
        if (!load_motifs(program, line.databases, reading, {}, known.database)) return 1;
    }
    std::vector<sequence_record> targets, controls;
    // Each control's target, where it has one.
    std::vector<std::size_t> control_target;
    std::string controls_text;
    working_on("reading the targets and drawing the controls");
    if (!line.regions.regions.empty()) {
        region_records from_genome;
        const control_drawing drawing{line.drawn.kind, line.drawn.shuffles, line.drawn.seed, line.kmer, line.settings.threads,
                                       !line.control_out.empty()};
        if (!read_region_records(program, line.regions, drawing, from_genome)) return 1;
        targets = std::move(from_genome.targets);
        controls = std::move(from_genome.controls);
        control_target = std::move(from_genome.control_target);
        controls_text = std::move(from_genome.controls_text);
    } else {
        if (!read_fasta_records(program, line.targets, targets)) return 1;
        if (!line.controls.empty()) {
            if (!read_fasta_records(program, line.controls, controls)) return 1;
        } else {
            controls = shuffled_controls(targets, line.drawn.shuffles, line.drawn.seed, line.settings.threads, line.kmer);
            for (std::size_t i = 0; i < controls.size(); ++i) control_target.push_back(i / line.drawn.shuffles);
        }
    }
    std::size_t short_targets = 0, short_controls = 0;
    search_records records = records_for_search(std::move(targets), std::move(controls), control_target,
                                                line.settings.min_width, short_targets, short_controls);
    if (short_targets || short_controls)
        print_error(program, "warning: " + std::to_string(short_targets) + " targets and " + std::to_string(short_controls) +
                                 " controls shorter than " + std::to_string(line.settings.min_width) + " positions skipped");
    if (records.targets.empty() || records.controls.empty()) {
        print_error(program, std::string("no ") + (records.targets.empty() ? "target" : "control") + " of at least " +
                                 std::to_string(line.settings.min_width) + " positions");
        return 1;
    }
    if (line.bg.counted && !counted_background(program, {&records.targets, &records.controls}, given)) return 1;
    // Sites are found on both strands.
    search.background = background_as_written(background_of_strands(given, scan_settings{}));
    warn_few_controls(program, records.targets.size(), records.controls.size());
    if (!line.control_out.empty() &&
        !write_file(program, line.control_out, line.regions.regions.empty() ? as_fasta(records.controls) : controls_text))
        return 1;

    working_on("searching for motifs");
    const bool progress = ::isatty(2);
    const discovery found = discover_motifs(records, search, [&](const found_motif& m, std::size_t rank) {
        if (!progress) return;
        char text[160];
        std::snprintf(text, sizeof text, ": %llu of %llu targets and %llu of %llu controls with a site, E = %.3g",
                      static_cast<unsigned long long>(m.held_targets_with), static_cast<unsigned long long>(m.held_targets),
                      static_cast<unsigned long long>(m.held_controls_with), static_cast<unsigned long long>(m.held_controls),
                      std::exp(m.log_e));
        print_error(program, "motif " + identifier_of(m, rank) + text);
    });

    if (!line.held_out.empty() &&
        (!write_file(program, held_out_path(line, "_targets.fa"), as_fasta(picked(records.targets, found.target_held_out, found.held_out))) ||
         !write_file(program, held_out_path(line, "_controls.fa"), as_fasta(picked(records.controls, found.control_held_out, found.held_out)))))
        return 1;
    working_on("writing the results");
    if (!line.databases.empty()) {
        std::vector<motif> queries;
        for (std::size_t i = 0; i < found.motifs.size(); ++i) {
            motif q;
            q.id = identifier_of(found.motifs[i], i + 1);
            q.scores = found.motifs[i].scores;
            queries.push_back(q);
        }
        compare_settings settings;
        settings.threads = line.settings.threads;
        known.matches = compare_motifs(queries, known.database, settings);
    }
    const known_matches* names = line.databases.empty() ? nullptr : &known;
    if (!line.html.empty()) {
        const std::string per_target = std::to_string(line.drawn.shuffles) + " per target (seed " + std::to_string(line.settings.seed) + ")";
        const std::string shuffled = std::string("the targets shuffled, ") + (line.kmer == 3 ? "tri" : "di") + "nucleotides kept: " + per_target;
        std::string controls = !line.regions.control_regions.empty() ? line.regions.control_regions
                               : !line.regions.regions.empty() && line.drawn.kind == background::gc
                                   ? "random regions of the genome of each target's length and GC content: " + per_target
                               : line.controls.empty() ? shuffled
                                                       : line.controls;
        const std::string targets = line.regions.regions.empty() ? line.targets : line.regions.regions + " of " + line.regions.genome;
        char limits[160];
        std::snprintf(limits, sizeof limits, "widths %zu to %zu, at most %zu motifs, E-value at most %g",
                      line.settings.min_width, line.settings.max_width, line.settings.motifs, line.settings.evalue);
        std::string databases;
        for (const std::string& path : line.databases) databases += (databases.empty() ? "" : ", ") + path;
        std::vector<std::pair<std::string, std::string>> settings = {
            {"targets", targets + ": " + std::to_string(records.targets.size()) + " records"},
            {"controls", controls + ": " + std::to_string(records.controls.size()) + " records"},
            {"judged on", found.held_out ? "a tenth of the records, held out of the search (seed " + std::to_string(line.settings.seed) + ")"
                         : found.null_searches ? calibration_of(found) + " (seed " + std::to_string(line.settings.seed) + ")"
                                               : "all records: too few targets to hold any out"},
            {"search", limits},
            {"background", background_text(search.background)}};
        if (short_targets || short_controls)
            settings.push_back({"skipped", std::to_string(short_targets) + " targets and " + std::to_string(short_controls) +
                                               " controls shorter than " + std::to_string(line.settings.min_width)});
        if (!databases.empty()) settings.push_back({"known motifs", databases});
        settings.push_back({"program", std::string(program) + " " + MOTIF_VERSION});
        if (!write_file(program, line.html, discovery_report(found, names, settings))) return 1;
    }
    // The table says a background only where it is not the default.
    const std::string table = (search.background == uniform_bases ? "" : "# background: " + background_text(search.background) + "\n") +
                              discovery_table(found, names);
    if (!line.tsv.empty() && !write_file(program, line.tsv, table)) return 1;
    return write_output(program, meme_text(found.motifs, search.background)) ? 0 : 1;
}

int main(int argc, char** argv) {
    return guarded_main(program, [&] { return run(argc, argv); });
}
