// motif_scan: reports every window of DNA sequences that motifs score at or
// above a threshold, as BED6 lines and three more columns.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "output.h"
#include "region_options.h"
#include "report.h"
#include "scan_input.h"
#include "scan_options.h"
#include "scan_regions.h"
#include "write_all.h"

namespace {

const char* const program = "motif_scan";

const std::string usage = std::string(
                              "Usage: motif_scan [options] -m MOTIFS [-m MOTIFS ...] [FASTA ...]\n"
                              "       motif_scan [options] -m MOTIFS --regions BED GENOME.fa\n"
                              "       motif_scan --list -m MOTIFS [-m MOTIFS ...]\n"
                              "\n"
                              "Reports every window of the FASTA records (plain or gzip; none or '-' for\n"
                              "standard input) that a motif scores at or above a threshold, on both\n"
                              "strands, one line per site:\n"
                              "  name  start  end  motif  score  strand  p-value  site\n"
                              "(tab-separated, 0-based start: the first six columns are BED6).\n"
                              "With --regions, the sequences are regions of an indexed genome, and sites\n"
                              "are named and placed by their chromosome; overlapping or adjacent\n"
                              "regions are scanned once, as one.\n"
                              "Motif files (plain or gzip) are matrix files written by motif_matrix, or\n"
                              "JASPAR, MEME, TRANSFAC or HOMER files of any number of motifs, told apart\n"
                              "by their content.\n"
                              "\n"
                              "Options:\n") +
                          scan_options_help + region_options_help +
                          "      --list            list the motifs read (identifier, width, format,\n"
                          "                        sites, smallest p-value, background) and exit\n";

struct command_line {
    scan_options scan;
    region_options regions;
    std::vector<std::string> inputs;
    bool list = false;
};

command_line parse_options(int argc, char** argv) {
    enum { list_option = scan_long_option_base };
    static const std::vector<option> long_options = [] {
        std::vector<option> more = region_long_options();
        more.push_back({"list", no_argument, nullptr, list_option});
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
        if (c == list_option) {
            line.list = true;
        } else {
            option_error(program, c, argv);
        }
    }
    check_scan_options(program, line.scan);
    for (int i = optind; i < argc; ++i) line.inputs.emplace_back(argv[i]);
    region_options& regions = line.regions;
    if (!regions.regions.empty()) {
        // The genome is named by --genome or as the one sequence file.
        if (regions.genome.empty() && line.inputs.size() == 1) {
            regions.genome = line.inputs[0];
            line.inputs.clear();
        }
        if (regions.genome.empty()) usage_error(program, "--regions needs the genome: --genome FASTA or one FASTA file");
        if (!line.inputs.empty()) usage_error(program, "with --regions, the sequences come from the genome, not from other files");
        if (regions.genome == "-") usage_error(program, "the genome cannot be read from standard input: it needs its index");
    } else if (!regions.genome.empty() || regions.summits > 0 || regions.skip_missing) {
        usage_error(program, "--genome, --summits and --skip-missing go with --regions");
    }
    if (line.inputs.empty() && regions.regions.empty()) line.inputs.emplace_back("-");
    const auto from_stdin = [](const std::vector<std::string>& paths) {
        return std::find(paths.begin(), paths.end(), "-") != paths.end();
    };
    if (!line.list && from_stdin(line.scan.motif_files) && (from_stdin(line.inputs) || regions.regions == "-"))
        usage_error(program, "standard input can hold the motifs or the sequences, not both");
    if (line.scan.background.counted && regions.regions.empty() && from_stdin(line.inputs))
        usage_error(program, "--bg auto reads the sequences twice, to count their bases and to scan them: "
                             "give them as a file, not on standard input");
    return line;
}

// One line per motif: identifier, width, format, site count, the smallest
// p-value any window can have, and the background of the strands scanned.
int list_motifs(const std::vector<motif>& motifs, const std::vector<scan_matrix>& matrices) {
    std::string out;
    for (std::size_t i = 0; i < motifs.size(); ++i) {
        char sites[32] = "NA", best[32], background[80] = "uniform";
        if (motifs[i].sites > 0) std::snprintf(sites, sizeof sites, "%g", motifs[i].sites);
        std::snprintf(best, sizeof best, "%.3g", matrices[i].grid.tail.back());
        const base_frequencies& bg = matrices[i].grid.background;
        if (bg != uniform_bases) std::snprintf(background, sizeof background, "%.4g,%.4g,%.4g,%.4g", bg[0], bg[1], bg[2], bg[3]);
        out += motifs[i].id + "\t" + std::to_string(motifs[i].scores.size()) + "\t" +
               format_names[static_cast<int>(motifs[i].format)] + "\t" + sites + "\t" + best + "\t" + background + "\n";
    }
    return write_output(program, out) ? 0 : 1;
}

// --bg auto: the bases of the FASTA files, or of the regions, counted before
// the motifs are scored and their sequences read again to scan.
bool count_background(const command_line& line, const genome_file& genome, const std::vector<genome_region>& regions,
                      base_frequencies& frequencies) {
    base_counts counts;
    for (const std::string& path : line.inputs)
        if (!count_fasta_bases(program, path, counts)) return false;
    std::string bases, error;
    for (const genome_region& r : regions) {
        if (!fetch_bases(genome, r.chromosome, r.start, r.end, bases, error)) {
            print_error(program, error);
            return false;
        }
        counts.add(bases.data(), bases.size());
    }
    if (!frequencies_of_counts(counts, frequencies, error)) {
        print_error(program, "--bg auto: " + error);
        return false;
    }
    return true;
}

}  // namespace

int run(int argc, char** argv) {
    command_line line = parse_options(argc, argv);

    genome_file genome;
    std::vector<genome_region> regions;
    const auto read_regions = [&] {
        working_on("reading the regions");
        if (!load_regions(program, line.regions, genome, regions)) return false;
        regions = merged_regions(genome, std::move(regions));
        return true;
    };
    const bool counted = line.scan.background.counted;
    if (counted) {
        if (!line.regions.regions.empty() && !read_regions()) return 1;
        working_on("counting the bases");
        if (!count_background(line, genome, regions, line.scan.background.frequencies)) return 1;
    }
    // Every motif is read before any output.
    std::vector<motif> motifs;
    std::vector<scan_matrix> matrices;
    working_on("reading the motifs");
    if (!load_scan_motifs(program, line.scan, motifs, matrices)) return 1;
    if (line.list) return list_motifs(motifs, matrices);
    if (!counted && !line.regions.regions.empty() && !read_regions()) return 1;
    warn_unreachable(program, matrices, line.scan.wanted);
    working_on("scanning");

    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    bool ok = true;
    pipeline scans(
        matrices, line.scan.settings,
        [&](const sequence_batch& batch, const site& s, std::string& out) { append_site(out, batch, s, matrices[s.matrix]); },
        1);
    for (const std::string& path : line.inputs) {
        if (scans.output_failed()) break;
        ok = scan_fasta_file(program, path, widest - 1, scans, line.scan.settings) && ok;
    }
    if (!line.regions.regions.empty()) ok = scan_regions(program, line.regions.genome, regions, widest - 1, scans, line.scan.settings);
    if (const int error = scans.finish()) {
        print_error(program, std::string("standard output: ") + std::strerror(error));
        return 1;
    }
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    return guarded_main(program, [&] { return run(argc, argv); });
}
