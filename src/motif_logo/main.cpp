// motif_logo: draws the sequence logo of a motif as SVG.
#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "logo.h"
#include "motif.h"
#include "report.h"
#include "write_all.h"

namespace {

const char* const program = "motif_logo";

// Wider matrices are refused: their drawing would be some metres wide.
constexpr std::size_t max_logo_width = 10000;

const char* const usage =
    "Usage: motif_logo [-o OUT.svg] [--title TEXT] [--motif ID] MOTIFS\n"
    "       motif_logo --out-dir DIR [--motif ID ...] MOTIFS\n"
    "\n"
    "Draws the sequence logo of a motif as SVG: one stack of letters per\n"
    "position, as tall as the position's information content in bits, each\n"
    "letter as tall as its share of it. The motif file (plain or gzip) is a\n"
    "matrix file written by motif_matrix, or a JASPAR, MEME, TRANSFAC or HOMER\n"
    "file, told apart by its content.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write the SVG to FILE (whole or not at all), not to\n"
    "                        standard output\n"
    "  -t, --title TEXT      the title (default: the motif's identifier)\n"
    "      --motif ID        draw the motif of this identifier, ID or name (for a\n"
    "                        file of several)\n"
    "      --out-dir DIR     draw every motif (or each --motif) to DIR/ID.svg\n"
    "      --format NAME     read the file as matrix, jaspar, meme, transfac or homer\n"
    "      --sites N         site count of probabilities where the file gives none\n"
    "                        (default 20)\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n";

int run(int argc, char** argv) {
    enum { version_option = 1000, motif_option, out_dir_option, format_option, sites_option };
    static const option long_options[] = {{"output", required_argument, nullptr, 'o'},
                                          {"title", required_argument, nullptr, 't'},
                                          {"motif", required_argument, nullptr, motif_option},
                                          {"out-dir", required_argument, nullptr, out_dir_option},
                                          {"format", required_argument, nullptr, format_option},
                                          {"sites", required_argument, nullptr, sites_option},
                                          {"help", no_argument, nullptr, 'h'},
                                          {"version", no_argument, nullptr, version_option},
                                          {nullptr, 0, nullptr, 0}};
    std::string output, title, out_dir;
    std::vector<std::string> wanted;
    motif_reading reading;
    reading.max_width = max_logo_width;
    bool titled = false;
    std::set<int> seen;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":o:t:h", long_options, nullptr)) != -1) {
        refuse_repeat(program, c, long_options, {motif_option}, seen);
        switch (c) {
        case 'o':
            output = optarg;
            if (output.empty()) usage_error(program, "option -o: the file name is empty");
            break;
        case 't':
            title = optarg;
            titled = true;
            break;
        case motif_option:
            wanted.emplace_back(optarg);
            break;
        case out_dir_option:
            out_dir = optarg;
            if (out_dir.empty()) usage_error(program, "option --out-dir: the folder name is empty");
            break;
        case format_option:
            reading.format = format_of_option(program, optarg);
            break;
        case sites_option:
            reading.sites = sites_of_option(program, optarg);
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
    if (argc - optind > 1) usage_error(program, "one motif file at a time, not " + std::to_string(argc - optind));
    if (!out_dir.empty() && !output.empty()) usage_error(program, "options -o and --out-dir exclude each other");
    if (!out_dir.empty() && titled) usage_error(program, "option --title names one logo, not those of --out-dir");

    const std::string path = argv[optind];
    refuse_output_over_input(program, {path}, {output});
    std::vector<motif> motifs;
    working_on("reading the motifs");
    if (!load_motifs(program, {path}, reading, wanted, motifs)) return 1;
    working_on("drawing the logos");
    if (!out_dir.empty()) {
        if (::mkdir(out_dir.c_str(), 0777) != 0 && errno != EEXIST) {
            print_error(program, out_dir + ": " + std::strerror(errno));
            return 1;
        }
        for (const motif& m : motifs) refuse_output_over_input(program, {path}, {out_dir + "/" + m.id + ".svg"});
        for (const motif& m : motifs)
            if (!write_file(program, out_dir + "/" + m.id + ".svg", logo_svg(m.scores, m.id))) return 1;
        return 0;
    }
    if (motifs.size() > 1) {
        if (wanted.empty())
            usage_error(program, path + " holds " + std::to_string(motifs.size()) +
                                     " motifs: pick one with --motif ID, or draw each with --out-dir DIR");
        std::string matching;
        for (const motif& m : motifs) matching += (matching.empty() ? "" : ", ") + m.id;
        print_error(program, std::to_string(motifs.size()) + " motifs match --motif in " + path + " (" + matching +
                                 "): pick one by its identifier");
        return 1;
    }
    const std::string svg = logo_svg(motifs[0].scores, titled ? title : motifs[0].id);
    if (!output.empty()) return write_file(program, output, svg) ? 0 : 1;
    return write_output(program, svg) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    return guarded_main(program, [&] { return run(argc, argv); });
}
