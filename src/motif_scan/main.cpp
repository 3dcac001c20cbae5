// motif_scan: reports every window of DNA sequences that motifs score at or
// above a threshold, as BED6 lines and three more columns.
#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fasta.h"
#include "input.h"
#include "kernels.h"
#include "output.h"
#include "pipeline.h"
#include "report.h"
#include "scanning.h"
#include "write_all.h"

namespace {

const char* const program = "motif_scan";

const char* const usage =
    "Usage: motif_scan [options] -m MOTIFS [-m MOTIFS ...] [FASTA ...]\n"
    "       motif_scan --list -m MOTIFS [-m MOTIFS ...]\n"
    "\n"
    "Reports every window of the FASTA records (plain or gzip; none or '-' for\n"
    "standard input) that a motif scores at or above a threshold, on both\n"
    "strands, one line per site:\n"
    "  name  start  end  motif  score  strand  p-value  site\n"
    "(tab-separated, 0-based start: the first six columns are BED6).\n"
    "Motif files (plain or gzip) are matrix files written by motif_matrix, or\n"
    "JASPAR, MEME, TRANSFAC or HOMER files of any number of motifs, told apart\n"
    "by their content.\n"
    "\n"
    "Options:\n"
    "  -m, --matrix FILE     a motif file; repeat for several\n"
    "      --motif ID        scan only the motifs of this identifier, ID or name;\n"
    "                        repeat for several\n"
    "      --format NAME     read the motif files as matrix, jaspar, meme,\n"
    "                        transfac or homer\n"
    "      --sites N         site count of probabilities where a file gives none\n"
    "                        (default 20)\n"
    "      --list            list the motifs read (identifier, width, format,\n"
    "                        sites, smallest p-value) and exit\n"
    "  -p, --p-value P       report sites of p-value at most P (default 1e-4)\n"
    "  -s, --score SCORE     report sites of score at least SCORE instead\n"
    "      --strand S        both (default), + or -\n"
    "  -j, --threads N       threads to scan with (default: all cores)\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n";

double number_option(const char* option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !std::isfinite(value) || errno == ERANGE)
        usage_error(program, std::string("option ") + option + ": '" + text + "' is not a number");
    return value;
}

struct command_line {
    std::vector<std::string> matrices, inputs, motif_names;
    motif_reading reading;
    bool list = false;
    threshold wanted;
    scan_settings settings;
};

command_line parse_options(int argc, char** argv) {
    enum { strand_option = 1000, version_option, motif_option, format_option, sites_option, list_option };
    static const option long_options[] = {
        {"matrix", required_argument, nullptr, 'm'},   {"p-value", required_argument, nullptr, 'p'},
        {"score", required_argument, nullptr, 's'},    {"strand", required_argument, nullptr, strand_option},
        {"threads", required_argument, nullptr, 'j'},  {"help", no_argument, nullptr, 'h'},
        {"motif", required_argument, nullptr, motif_option}, {"format", required_argument, nullptr, format_option},
        {"sites", required_argument, nullptr, sites_option}, {"list", no_argument, nullptr, list_option},
        {"version", no_argument, nullptr, version_option}, {nullptr, 0, nullptr, 0}};
    command_line line;
    line.settings.threads = std::max(1u, std::thread::hardware_concurrency());
    bool by_p = false, by_score = false;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":m:p:s:j:h", long_options, nullptr)) != -1) {
        switch (c) {
        case 'm':
            line.matrices.emplace_back(optarg);
            break;
        case 'p':
            by_p = true;
            line.wanted = {false, number_option("-p", optarg)};
            if (!(line.wanted.value > 0 && line.wanted.value <= 1))
                usage_error(program, std::string("option -p: '") + optarg + "' is not a p-value in (0, 1]");
            break;
        case 's':
            by_score = true;
            line.wanted = {true, number_option("-s", optarg)};
            break;
        case strand_option:
            if (std::strcmp(optarg, "both") == 0) {
                line.settings.plus = line.settings.minus = true;
            } else if (std::strcmp(optarg, "+") == 0) {
                line.settings.plus = true;
                line.settings.minus = false;
            } else if (std::strcmp(optarg, "-") == 0) {
                line.settings.plus = false;
                line.settings.minus = true;
            } else {
                usage_error(program, std::string("option --strand: '") + optarg + "' is not both, + or -");
            }
            break;
        case 'j': {
            const double n = number_option("-j", optarg);
            if (n < 1 || n != std::floor(n)) usage_error(program, std::string("option -j: '") + optarg + "' is not a whole number of at least 1");
            // More threads than this only cost memory.
            line.settings.threads = static_cast<unsigned>(std::min(n, 64.0));
            break;
        }
        case motif_option:
            line.motif_names.emplace_back(optarg);
            break;
        case format_option:
            line.reading.format = format_named(optarg);
            if (!line.reading.format)
                usage_error(program, std::string("option --format: '") + optarg +
                                         "' is not matrix, jaspar, meme, transfac or homer");
            break;
        case sites_option:
            line.reading.sites = number_option("--sites", optarg);
            if (!(line.reading.sites > 0))
                usage_error(program, std::string("option --sites: '") + optarg + "' is not a count above 0");
            break;
        case list_option:
            line.list = true;
            break;
        case 'h':
            std::fputs(usage, stdout);
            std::exit(0);
        case version_option:
            std::printf("motif_scan %s\n", MOTIF_VERSION);
            std::exit(0);
        default:
            option_error(program, c, argv);
        }
    }
    if (by_p && by_score) usage_error(program, "options -p and -s exclude each other");
    if (line.matrices.empty()) usage_error(program, "no matrix given (-m FILE)");
    for (int i = optind; i < argc; ++i) line.inputs.emplace_back(argv[i]);
    if (line.inputs.empty()) line.inputs.emplace_back("-");
    const auto from_stdin = [](const std::vector<std::string>& paths) {
        return std::find(paths.begin(), paths.end(), "-") != paths.end();
    };
    if (!line.list && from_stdin(line.matrices) && from_stdin(line.inputs))
        usage_error(program, "standard input can hold the motifs or the sequences, not both");
    line.reading.max_width = max_scan_width;
    return line;
}

// Scans one FASTA file into the pipeline; returns false after reporting a failure.
bool scan_file(const std::string& path, std::size_t carry, pipeline& scans, const scan_settings& settings) {
    input_file input;
    std::string error;
    if (!open_input(path, input, error)) {
        print_error(program, error);
        return false;
    }
    fasta_reader reader(settings.batch_bytes, carry, [&](sequence_batch& full) { scans.hand_over(full); },
                        settings.kernels ? *settings.kernels : best_kernels());
    bool ok = true;
    for (;;) {
        const char* block;
        const long got = view_input(input, block, settings.read_bytes, error);
        if (got < 0) {
            print_error(program, error);
            ok = false;
            break;
        }
        if (got == 0 || scans.output_failed()) break;
        if (!reader.read(block, static_cast<std::size_t>(got), error)) {
            print_error(program, input.name + ": " + error);
            ok = false;
            break;
        }
    }
    // Sites found before a failure are still written.
    reader.end();
    close_input(input);
    return ok;
}

// One line per motif: identifier, width, format, site count and the
// smallest p-value any window can have.
int list_motifs(const std::vector<motif>& motifs, const std::vector<scan_matrix>& matrices) {
    std::string out;
    for (std::size_t i = 0; i < motifs.size(); ++i) {
        char sites[32] = "NA", best[32];
        if (motifs[i].sites > 0) std::snprintf(sites, sizeof sites, "%g", motifs[i].sites);
        std::snprintf(best, sizeof best, "%.3g", matrices[i].grid.tail.back());
        out += motifs[i].id + "\t" + std::to_string(motifs[i].scores.size()) + "\t" +
               format_names[static_cast<int>(motifs[i].format)] + "\t" + sites + "\t" + best + "\n";
    }
    if (const int error = write_all(1, out.data(), out.size())) {
        print_error(program, std::string("standard output: ") + std::strerror(error));
        return 1;
    }
    return 0;
}

// A motif that no window can reach is named once, with the best it can do.
void warn_if_hopeless(const scan_matrix& m, const threshold& wanted) {
    if (!m.hopeless) return;
    char text[160];
    if (wanted.by_score) {
        double best = 0;
        for (const auto& column : m.scores) best += *std::max_element(column.begin(), column.end());
        std::snprintf(text, sizeof text, ": no window can reach score %g (the best scores %g)", wanted.value, best);
    } else {
        std::snprintf(text, sizeof text, ": no window can reach p <= %g (the best has p = %.3g)", wanted.value,
                      m.grid.tail.back());
    }
    print_error(program, "warning: " + m.name + text);
}

}  // namespace

int main(int argc, char** argv) {
    const command_line line = parse_options(argc, argv);

    // Every motif is read before any output.
    std::vector<motif> motifs;
    if (!load_motifs(program, line.matrices, line.reading, line.motif_names, motifs)) return 1;
    std::size_t widest = 0;
    for (const motif& m : motifs) {
        for (const auto& column : m.scores)
            for (const double s : column)
                if (std::fabs(s) > max_scan_score) {
                    char text[64];
                    std::snprintf(text, sizeof text, "%g", s);
                    print_error(program, "motif " + m.id + ": a score of " + text + " is beyond +-1e9, not a log-odds");
                    return 1;
                }
        widest = std::max(widest, m.scores.size());
    }
    const std::vector<scan_matrix> matrices = prepare_matrices(motifs, line.wanted, line.settings.threads);
    if (line.list) return list_motifs(motifs, matrices);
    for (const scan_matrix& m : matrices) warn_if_hopeless(m, line.wanted);

    bool ok = true;
    pipeline scans(
        matrices, line.settings,
        [&](const sequence_batch& batch, const site& s, std::string& out) { append_site(out, batch, s, matrices[s.matrix]); },
        1);
    for (const std::string& path : line.inputs) {
        if (scans.output_failed()) break;
        ok = scan_file(path, widest - 1, scans, line.settings) && ok;
    }
    if (const int error = scans.finish()) {
        print_error(program, std::string("standard output: ") + std::strerror(error));
        return 1;
    }
    return ok ? 0 : 1;
}
