// motif_enrich: which motifs are over-represented in a set of sequences
// (peaks, promoters) against controls: given ones, or the targets shuffled
// with their dinucleotides kept. One line per motif, most enriched first,
// with Fisher's exact test and Benjamini-Hochberg q-values.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "comparing.h"
#include "report.h"
#include "known_enrichment.h"
#include "scan_input.h"
#include "scan_options.h"
#include "control_options.h"
#include "controls.h"
#include "region_records.h"
#include "write_all.h"

namespace {

const char* const program = "motif_enrich";

const std::string usage = std::string(
                              "Usage: motif_enrich [options] -m MOTIFS [-m MOTIFS ...] TARGETS.fa [CONTROL.fa]\n"
                              "       motif_enrich [options] -m MOTIFS --regions PEAKS --genome GENOME.fa\n"
                              "\n"
                              "Which motifs are over-represented in the target sequences (plain or gzip\n"
                              "FASTA, one record each: peaks, promoters): for each motif, the targets and\n"
                              "the controls with at least one site, Fisher's exact test (one-sided) and\n"
                              "Benjamini-Hochberg q-values, one tab-separated line per motif, most\n"
                              "enriched first:\n"
                              "  rank  motif  consensus  targets_with_site  targets  percent_targets\n"
                              "  controls_with_site  controls  percent_controls  enrichment  log10_p  p  q\n"
                              "With --count sites, the sites of each motif per window a site can start\n"
                              "in, on either strand, in targets against controls, the exact test of two\n"
                              "Poisson rates (one-sided) and the columns:\n"
                              "  rank  motif  consensus  sites_in_targets  target_windows\n"
                              "  sites_per_kb_targets  sites_in_controls  control_windows\n"
                              "  sites_per_kb_controls  enrichment  log10_p  p  q\n"
                              "Without CONTROL.fa the controls are the targets shuffled, each record's\n"
                              "dinucleotide counts kept. With --regions, the targets are the regions of\n"
                              "the genome (named chrom:start-end), and the controls random regions of the\n"
                              "genome of each target's length and GC content. Motif files are as\n"
                              "motif_scan reads them.\n"
                              "\n"
                              "Options:\n") +
                          scan_options_help + region_options_help + control_regions_help + control_options_help +
                          "      --count C         records (default): the records holding a site;\n"
                          "                        or sites: the sites per window, for long sequences\n"
                          "                        that nearly all hold a site\n"
                          "      --control-out FILE  write the controls used to FILE: FASTA, or BED of\n"
                          "                        the regions drawn with --background gc\n"
                          "      --html FILE       write a report page with the motifs' logos to FILE\n";

struct command_line {
    scan_options scan;
    region_options regions;
    control_options drawn;
    counting counted = counting::records;
    std::string targets, controls, control_out, html;
};

command_line parse_options(int argc, char** argv) {
    enum { control_out_option = scan_long_option_base, html_option, count_option };
    static const std::vector<option> long_options = [] {
        std::vector<option> more = region_long_options();
        const std::vector<option> drawn = control_long_options();
        more.insert(more.end(), drawn.begin(), drawn.end());
        more.insert(more.end(), {control_regions_long_option(),
                                 {"control-out", required_argument, nullptr, control_out_option},
                                 {"html", required_argument, nullptr, html_option},
                                 {"count", required_argument, nullptr, count_option}});
        return scan_long_options(more);
    }();
    command_line line;
    std::set<int> seen;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, (std::string(":") + scan_short_options).c_str(), long_options.data(), nullptr)) != -1) {
        if (!repeatable_scan_option(c)) refuse_repeat(program, c, long_options.data(), {}, seen);
        if (take_scan_option(program, usage.c_str(), c, optarg, line.scan)) continue;
        if (take_region_option(program, c, optarg, line.regions)) continue;
        if (take_control_regions_option(program, c, optarg, line.regions)) continue;
        if (take_control_option(program, c, optarg, line.drawn)) continue;
        switch (c) {
        case count_option:
            if (std::string(optarg) == "sites") {
                line.counted = counting::sites;
            } else if (std::string(optarg) != "records") {
                usage_error(program, std::string("option --count: '") + optarg + "' is not records or sites");
            }
            break;
        case control_out_option:
            line.control_out = optarg;
            if (line.control_out.empty()) usage_error(program, "option --control-out: the file name is empty");
            break;
        case html_option:
            line.html = optarg;
            if (line.html.empty()) usage_error(program, "option --html: the file name is empty");
            break;
        default:
            option_error(program, c, argv);
        }
    }
    check_scan_options(program, line.scan);
    take_target_files(program, line.regions, line.drawn, argc - optind, argv + optind, line.scan.motif_files, line.targets,
                      line.controls);
    std::vector<std::string> inputs = line.scan.motif_files;
    inputs.insert(inputs.end(), {line.targets, line.controls, line.regions.regions, line.regions.genome, line.regions.control_regions});
    refuse_output_over_input(program, inputs, {line.control_out, line.html});
    return line;
}

std::string threshold_text(const scan_options& scan) {
    char text[96];
    if (scan.wanted.by_score) {
        std::snprintf(text, sizeof text, "score at least %g", scan.wanted.value);
    } else {
        std::snprintf(text, sizeof text, "p-value at most %g", scan.wanted.value);
    }
    const char* strands = scan.settings.plus && scan.settings.minus ? "both strands" : scan.settings.plus ? "the + strand" : "the - strand";
    return std::string(text) + ", on " + strands;
}

}  // namespace

int run(int argc, char** argv) {
    command_line line = parse_options(argc, argv);

    std::vector<motif> motifs;
    std::vector<scan_matrix> matrices;
    const auto read_motifs = [&] {
        working_on("reading the motifs");
        return load_scan_motifs(program, line.scan, motifs, matrices);
    };
    // --bg auto scores the motifs over the bases of targets and controls.
    const bool counted = line.scan.background.counted;
    if (!counted && !read_motifs()) return 1;
    std::vector<sequence_record> targets, controls;
    std::string controls_text;
    working_on("reading the targets and drawing the controls");
    if (!line.regions.regions.empty()) {
        region_records records;
        const control_drawing drawing{line.drawn.kind, line.drawn.shuffles, line.drawn.seed, 2, line.scan.settings.threads,
                                       !line.control_out.empty()};
        if (!read_region_records(program, line.regions, drawing, records)) return 1;
        targets = std::move(records.targets);
        controls = std::move(records.controls);
        controls_text = std::move(records.controls_text);
        if (controls.empty()) {
            print_error(program, "no controls");
            return 1;
        }
    } else {
        if (!read_fasta_records(program, line.targets, targets)) return 1;
        if (!line.controls.empty()) {
            if (!read_fasta_records(program, line.controls, controls)) return 1;
        } else {
            controls = shuffled_controls(targets, line.drawn.shuffles, line.drawn.seed, line.scan.settings.threads);
        }
        if (!line.control_out.empty()) controls_text = as_fasta(controls);
    }
    if (counted && (!counted_background(program, {&targets, &controls}, line.scan.background.frequencies) || !read_motifs()))
        return 1;
    warn_few_controls(program, targets.size(), controls.size());
    warn_unreachable(program, matrices, line.scan.wanted);
    if (!line.control_out.empty() && !write_file(program, line.control_out, controls_text)) return 1;

    working_on("scanning");
    const std::uint64_t target_count = targets.size(), control_count = controls.size();
    const std::vector<enrichment> results = enrich_known_motifs(matrices, targets, controls, line.scan.settings, line.counted);

    // The report first: a run that fails to write it prints no table.
    working_on("writing the results");
    // The background of the strands scanned: the same for every motif.
    const base_frequencies& background = matrices.front().grid.background;
    if (!line.html.empty()) {
        run_description run;
        const std::string per_target = std::to_string(line.drawn.shuffles) + " per target (seed " + std::to_string(line.drawn.seed) + "), " +
                                       std::to_string(control_count) + " records";
        if (!line.regions.regions.empty()) {
            run.targets = line.regions.regions + ": " + std::to_string(target_count) + " regions of " + line.regions.genome;
            run.controls = !line.regions.control_regions.empty()
                               ? line.regions.control_regions + ": " + std::to_string(control_count) + " regions"
                           : line.drawn.kind == background::gc
                               ? "random regions of the genome of each target's length and GC content: " + per_target
                               : "the targets shuffled, dinucleotides kept: " + per_target;
        } else {
            run.targets = line.targets + ": " + std::to_string(target_count) + " records";
            run.controls = line.controls.empty() ? "the targets shuffled, dinucleotides kept: " + per_target
                                                 : line.controls + ": " + std::to_string(control_count) + " records";
        }
        std::string files;
        for (const std::string& path : line.scan.motif_files) files += (files.empty() ? "" : ", ") + path;
        run.motifs = files + ": " + std::to_string(motifs.size()) + " motifs";
        run.threshold = threshold_text(line.scan);
        run.background = background_text(background);
        run.version = std::string(program) + " " + MOTIF_VERSION;
        run.target_count = target_count;
        run.control_count = control_count;
        run.counted = line.counted;
        if (!write_file(program, line.html, enrichment_report(results, motifs, run, resemblances(motifs, line.scan.settings.threads))))
            return 1;
    }
    // The table says a background only where it is not the default.
    return write_output(program, (background == uniform_bases ? "" : "# background: " + background_text(background) + "\n") +
                                     enrichment_table(results, motifs, line.counted))
               ? 0
               : 1;
}

int main(int argc, char** argv) {
    return guarded_main(program, [&] { return run(argc, argv); });
}
