// The programs' output files and command lines: kinds of output path, '-',
// an output over an input, limits, messages and repeated options.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "helpers.h"
#include "report.h"
#include "run_command.h"
#include "write_all.h"

namespace {

const std::string scan = MOTIF_SCAN_EXE, enrich = MOTIF_ENRICH_EXE, discover = MOTIF_DISCOVER_EXE,
                  compare = MOTIF_COMPARE_EXE, logo = MOTIF_LOGO_EXE, examples = EXAMPLES_DIR;
const std::string motifs = examples + "/promoter_motifs.meme", peaks = examples + "/peaks.fa";

int file_type(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode) : -1;
}

// A copy of /dev/NAME in `dir` where one can be made: as root, a program
// that replaced it would replace the system's own.
std::string device(const scratch_dir& dir, const char* name, unsigned minor) {
    return ::mknod((dir / name).c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0 ? dir / name : std::string("/dev/") + name;
}

// What is written to, and where the text then is: a file, or a descriptor.
struct made {
    made(std::string written = "", std::string read = "", int fd = -1) : path(written), read_path(read), read_fd(fd) {}
    std::string path, read_path;
    int read_fd;
};

TEST(OutputPaths, EachKindIsWrittenAndKept) {
    const std::string text(1000, 'A');
    ::umask(022);
    const struct {
        const char* kind;
        std::function<made(const scratch_dir&)> make;
        int error;
        bool as_user = false;
    } cases[] = {
        {"regular file", [](const scratch_dir& d) { write_file(d / "old", "x"); ::chmod((d / "old").c_str(), 0640);
                                                    return made{d / "old", d / "old"}; }, 0},
        {"new file", [](const scratch_dir& d) { return made{d / "new", d / "new"}; }, 0},
        {"link", [](const scratch_dir& d) { write_file(d / "t", "x"); ::symlink("t", (d / "l").c_str());
                                            return made{d / "l", d / "t"}; }, 0},
        {"link to nothing yet", [](const scratch_dir& d) { ::symlink("n", (d / "l").c_str()); return made{d / "l", d / "n"}; }, 0},
        {"fifo", [](const scratch_dir& d) { ::mkfifo((d / "f").c_str(), 0666);
                                            return made{d / "f", "", ::open((d / "f").c_str(), O_RDONLY | O_NONBLOCK)}; }, 0},
        {"/dev/fd/N", [](const scratch_dir&) { int p[2]; if (::pipe2(p, O_NONBLOCK) != 0) return made{};
                                                 return made{"/dev/fd/" + std::to_string(p[1]), "", p[0]}; }, 0},
        {"/dev/null", [](const scratch_dir& d) { return made{device(d, "null", 3)}; }, 0},
        {"/dev/full", [](const scratch_dir& d) { return made{device(d, "full", 7)}; }, ENOSPC},
        {"missing folder", [](const scratch_dir& d) { return made{d / "none/out"}; }, ENOENT},
        {"read-only folder", [](const scratch_dir& d) { ::mkdir((d / "ro").c_str(), 0755); write_file(d / "ro/out", "x");
                                                        ::chmod((d / "ro/out").c_str(), 0666); ::chmod((d / "ro").c_str(), 0555);
                                                        ::chmod(d.path.c_str(), 0755); return made{d / "ro/out", d / "ro/out"}; },
         0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        scratch_dir dir;
        const made m = c.make(dir);
        const int before = file_type(m.path);
        int error;
        if (c.as_user && ::geteuid() == 0) {
            // Root writes in any folder: the folder is read-only only to someone else.
            const pid_t child = ::fork();
            if (child == 0) ::_exit(::setuid(65534) != 0 ? 255 : write_whole(m.path, text));
            int status = 0;
            ::waitpid(child, &status, 0);
            error = WEXITSTATUS(status);
            if (error == 255) GTEST_SKIP() << "no user 65534 to write as";
        } else {
            error = write_whole(m.path, text);
        }
        EXPECT_EQ(error, c.error) << std::strerror(error);
        if (before != -1) {
            EXPECT_EQ(file_type(m.path), before) << "replaced, or its mode changed";
        }
        if (!m.read_path.empty()) {
            EXPECT_EQ(read_file(m.read_path), text);
        }
        if (before == -1 && c.error == 0) {
            EXPECT_EQ(file_type(m.read_path) & 0777, 0644);
        }
        if (m.read_fd >= 0) {
            char got[2000];
            EXPECT_EQ(::read(m.read_fd, got, sizeof got), static_cast<ssize_t>(text.size()));
            ::close(m.read_fd);
        }
    }
}

TEST(OutputPaths, DashIsStandardOutput) {
    const struct {
        std::vector<std::string> argv;
        const char* shows;
    } cases[] = {
        {{logo, "-o", "-", "--motif", "TATA-box", motifs}, "<svg"},
        {{enrich, "-m", motifs, "--html", "-", peaks}, "<!DOCTYPE html>"},
        {{enrich, "-m", motifs, "--control-out", "-", peaks}, "_shuffle1"},
        {{discover, "--nmotifs", "1", "--tsv", "-", peaks}, "consensus"},
        {{discover, "--nmotifs", "1", "--held-out", "-", peaks}, "_shuffle1"},
        {{compare, "--html", "-", motifs}, "<!DOCTYPE html>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv[1] + " " + c.argv[2]);
        const command_result r = run_command(c.argv);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.shows), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists("-"));
    }
}

TEST(OutputPaths, AnOutputOverAnInputIsRefused) {
    scratch_dir dir;
    const std::string motifs = dir / "m.meme", peaks = dir / "p.fa";
    write_file(motifs, read_file(examples + "/promoter_motifs.meme"));
    write_file(peaks, read_file(examples + "/peaks.fa"));
    ::symlink("p.fa", (dir / "link.fa").c_str());
    const std::vector<std::string> cases[] = {
        {logo, "--motif", "TATA-box", "-o", motifs, motifs},
        {enrich, "-m", motifs, "--html", dir / "link.fa", peaks},
        {enrich, "-m", motifs, "--control-out", motifs, peaks},
        {discover, "--tsv", peaks, peaks},
        {discover, "--held-out", dir / "p", dir / "p_targets.fa"},
        {compare, "--html", motifs, motifs},
    };
    write_file(dir / "p_targets.fa", read_file(peaks));
    for (const std::vector<std::string>& argv : cases) {
        SCOPED_TRACE(argv[0] + " " + argv[argv.size() - 3]);
        const command_result r = run_command(argv);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
        EXPECT_EQ(read_file(argv.back()), read_file(argv.back() == motifs ? examples + "/promoter_motifs.meme" : examples + "/peaks.fa"));
    }
}

struct usage_case {
    std::vector<std::string> argv;
    const char* says;
};

void expect_usage_errors(const std::vector<usage_case>& cases) {
    for (const usage_case& c : cases) {
        const command_result r = run_command(c.argv);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST(OptionValues, CountsHaveLimits) {
    expect_usage_errors({
        {{enrich, "-m", motifs, "--shuffles", "9223372036854775808", peaks}, "'9223372036854775808' is above the limit of 1000"},
        {{discover, "--shuffles", "1001", peaks}, "'1001' is above the limit of 1000"},
        {{discover, "--nmotifs", "101", peaks}, "'101' is above the limit of 100"},
        {{compare, "--top", "1000001", motifs}, "'1000001' is above the limit of 1000000"},
        {{scan, "-m", motifs, "-j", "65", peaks}, "'65' is above the limit of 64"},
    });
}

TEST(OptionValues, NumbersOutOfRangeSaySo) {
    expect_usage_errors({
        {{scan, "-m", motifs, "-p", "1e-400", peaks}, "'1e-400' is out of range: nearer 0 than the smallest number"},
        {{discover, "--evalue", "1e-400", peaks}, "'1e-400' is out of range"},
        {{enrich, "-m", motifs, "--seed", "18446744073709551616", peaks}, "is out of range: above 18446744073709551615"},
        {{discover, "--seed", "-5", peaks}, "'-5' is negative"},
    });
}

TEST(OptionValues, RepeatsAreRefused) {
    expect_usage_errors({
        {{scan, "-m", motifs, "--regions", "a.bed", "--regions", "b.bed", peaks}, "option --regions is given twice"},
        {{enrich, "-m", motifs, "-p", "0.1", "-p", "0.2", peaks}, "option --p-value (-p) is given twice"},
        {{discover, "--genome", "a.fa", "--genome", "b.fa", peaks}, "option --genome is given twice"},
        {{compare, "--max-q", "0.1", "--max-q", "0.2", motifs}, "option --max-q is given twice"},
        {{logo, "-o", "a.svg", "-o", "b.svg", motifs}, "option --output (-o) is given twice"},
    });
}

TEST(OptionValues, RunningOutOfMemoryIsOneLine) {
    const std::function<int()> bodies[] = {
        [] { working_on("drawing"); throw std::bad_alloc(); return 0; },
        [] { working_on("drawing"); return static_cast<int>(std::vector<char>(checked_product(UINT64_MAX / 2, 3)).size()); },
    };
    for (const auto& body : bodies) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(guarded_main("prog", body), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "prog: out of memory (while drawing)\n");
    }
}

TEST(OptionValues, HelpIntoAFullDiskFails) {
    for (const std::string& program : {scan, enrich, discover, compare, logo})
        for (const char* option : {"--help", "--version"}) {
            const command_result r = run_command({program, option}, "", "/dev/full");
            EXPECT_EQ(r.status, 1) << program << " " << option;
            EXPECT_NE(r.err.find(": standard output: No space left on device\n"), std::string::npos) << r.err;
        }
}

}  // namespace
