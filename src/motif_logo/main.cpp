// motif_logo: draws the sequence logo of a matrix file written by motif_matrix.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "logo.h"
#include "matrix_read.h"
#include "report.h"
#include "write_all.h"

namespace {

const char* const program = "motif_logo";

// Wider matrices are refused: their drawing would be some metres wide.
constexpr std::size_t max_logo_width = 10000;

const char* const usage =
    "Usage: motif_logo [-o OUT.svg] [--title TEXT] MATRIX\n"
    "\n"
    "Draws the sequence logo of a matrix file written by motif_matrix, as SVG:\n"
    "one stack of letters per position, as tall as the position's information\n"
    "content in bits, each letter as tall as its share of it.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write the SVG to FILE (whole or not at all), not to\n"
    "                        standard output\n"
    "  -t, --title TEXT      the title (default: the matrix file's name)\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n";

// Writes a temporary file beside `path` and renames it over `path`, so that
// a failed run never leaves half a picture.
bool write_whole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        print_error(program, path + ": " + std::strerror(errno));
        return false;
    }
    int error = write_all(fd, text.data(), text.size());
    // mkstemp makes the file private; a picture is as readable as any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (error == 0 && ::fchmod(fd, 0666 & ~mask) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        print_error(program, path + ": " + std::strerror(error));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    enum { version_option = 1000 };
    static const option long_options[] = {{"output", required_argument, nullptr, 'o'},
                                          {"title", required_argument, nullptr, 't'},
                                          {"help", no_argument, nullptr, 'h'},
                                          {"version", no_argument, nullptr, version_option},
                                          {nullptr, 0, nullptr, 0}};
    std::string output, title;
    bool titled = false;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":o:t:h", long_options, nullptr)) != -1) {
        switch (c) {
        case 'o':
            output = optarg;
            if (output.empty()) usage_error(program, "option -o: the file name is empty");
            break;
        case 't':
            title = optarg;
            titled = true;
            break;
        case 'h':
            std::fputs(usage, stdout);
            return 0;
        case version_option:
            std::printf("motif_logo %s\n", MOTIF_VERSION);
            return 0;
        default:
            option_error(program, c, argv);
        }
    }
    if (optind == argc) usage_error(program, "no matrix file given");
    if (argc - optind > 1) usage_error(program, "one matrix file at a time, not " + std::to_string(argc - optind));

    const std::string path = argv[optind];
    matrix_file matrix;
    if (!load_matrix(program, path, max_logo_width, matrix)) return 1;
    const std::string svg = logo_svg(matrix.scores, titled ? title : matrix.name);
    if (!output.empty()) return write_whole(output, svg) ? 0 : 1;
    if (const int failed = write_all(1, svg.data(), svg.size())) {
        print_error(program, std::string("standard output: ") + std::strerror(failed));
        return 1;
    }
    return 0;
}
