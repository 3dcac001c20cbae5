// Output files of every kind of path, and the programs' command lines.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <thread>

#include "helpers.h"
#include "parallel_for.h"
#include "report.h"
#include "run_command.h"
#include "write_all.h"

namespace {

const std::string scan = MOTIF_SCAN_EXE, enrich = MOTIF_ENRICH_EXE, discover = MOTIF_DISCOVER_EXE,
                  compare = MOTIF_COMPARE_EXE, logo = MOTIF_LOGO_EXE, examples = EXAMPLES_DIR;
const std::string motifs = examples + "/promoter_motifs.meme", peaks = examples + "/peaks.fa";

int file_mode(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode) : -1;
}

// A copy of /dev/NAME where one can be made: a faulty run as root would replace the system's own.
std::string device(const scratch_dir& d, const char* name, unsigned minor) {
    return ::mknod((d / name).c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0 ? d / name : std::string("/dev/") + name;
}

// The path written to, and where the text then is: a file, or a descriptor to read.
struct made {
    std::string path, read_path;
    int read_fd;
};

TEST(OutputPaths, EachKindIsWrittenAndKept) {
    const std::string text(1000, 'A');
    ::umask(022);
    const struct {
        std::function<made(const scratch_dir&)> make;
        int error;
    } cases[] = {
        {[](const scratch_dir& d) { write_file(d / "f", "x"); ::chmod((d / "f").c_str(), 0640); return made{d / "f", d / "f", -1}; }, 0},
        {[](const scratch_dir& d) { return made{d / "new", d / "new", -1}; }, 0},
        {[](const scratch_dir& d) { write_file(d / "t", "x"); ::symlink("t", (d / "l").c_str()); return made{d / "l", d / "t", -1}; }, 0},
        {[](const scratch_dir& d) { ::symlink("n", (d / "l").c_str()); return made{d / "l", d / "n", -1}; }, 0},
        {[](const scratch_dir& d) { ::mkfifo((d / "f").c_str(), 0666); return made{d / "f", "", ::open((d / "f").c_str(), O_RDONLY | O_NONBLOCK)}; }, 0},
        {[](const scratch_dir&) { int p[2] = {-1, -1}; EXPECT_EQ(::pipe2(p, O_NONBLOCK), 0); return made{"/dev/fd/" + std::to_string(p[1]), "", p[0]}; }, 0},
        {[](const scratch_dir& d) { return made{device(d, "null", 3), "", -1}; }, 0},
        {[](const scratch_dir& d) { return made{device(d, "full", 7), "", -1}; }, ENOSPC},
        {[](const scratch_dir& d) { return made{d / "none/out", "", -1}; }, ENOENT},
        // A read-only folder holding a writable file: written by someone else than root, who writes anywhere.
        {[](const scratch_dir& d) { ::mkdir((d / "ro").c_str(), 0755); write_file(d / "ro/f", "x"); ::chmod((d / "ro/f").c_str(), 0666);
                                    ::chmod((d / "ro").c_str(), 0555); ::chmod(d.path.c_str(), 0755); return made{d / "ro/f", d / "ro/f", -2}; }, 0},
    };
    for (const auto& c : cases) {
        scratch_dir dir;
        const made m = c.make(dir);
        const int before = file_mode(m.path);
        int error = 0;
        if (m.read_fd == -2 && ::geteuid() == 0) {
            const pid_t child = ::fork();
            if (child == 0) ::_exit(::setuid(65534) != 0 ? 255 : write_whole(m.path, text));
            ::waitpid(child, &error, 0);
            error = WEXITSTATUS(error);
        } else {
            error = write_whole(m.path, text);
        }
        EXPECT_EQ(error, c.error) << m.path << ": " << std::strerror(error);
        EXPECT_EQ(file_mode(m.path), before == -1 ? file_mode(m.read_path) : before) << m.path << " replaced";
        EXPECT_TRUE(before != -1 || c.error != 0 || (file_mode(m.read_path) & 0777) == 0644) << m.path;
        std::string got(2 * text.size(), '\0');
        if (m.read_fd >= 0) got.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(m.read_fd, got.data(), got.size()))));
        EXPECT_TRUE((m.read_fd < 0 && m.read_path.empty()) || (m.read_fd >= 0 ? got : read_file(m.read_path)) == text) << m.path;
    }
}

TEST(OutputPaths, DashIsStandardOutput) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{logo, "-o", "-", "--motif", "TATA-box", motifs}, "<svg"},
        {{enrich, "-m", motifs, "--control-out", "-", peaks}, "_shuffle1"},
        {{discover, "--nmotifs", "1", "--held-out", "-", peaks}, "_shuffle1"},
        {{compare, "--html", "-", motifs}, "<!DOCTYPE html>"},
    };
    for (const auto& [argv, shows] : cases) {
        const command_result r = run_command(argv);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(shows), std::string::npos) << argv[0];
        EXPECT_FALSE(std::filesystem::exists("-")) << argv[0];
    }
}

TEST(OutputPaths, AnOutputOverAnInputIsRefused) {
    scratch_dir dir;
    const std::string motif_copy = dir / "m.meme", peak_copy = dir / "p_targets.fa";
    write_file(motif_copy, read_file(motifs));
    write_file(peak_copy, read_file(peaks));
    ::symlink("p_targets.fa", (dir / "link.fa").c_str());
    const std::vector<std::string> cases[] = {
        {logo, "--motif", "TATA-box", "-o", motif_copy, motif_copy},
        {enrich, "-m", motif_copy, "--html", dir / "link.fa", peak_copy},
        {discover, "--held-out", dir / "p", peak_copy},
        {compare, "--html", motif_copy, motif_copy},
    };
    for (const std::vector<std::string>& argv : cases) {
        const command_result r = run_command(argv);
        EXPECT_EQ(r.status, 2) << argv[0];
        EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
        EXPECT_EQ(read_file(argv.back()), read_file(argv.back() == motif_copy ? motifs : peaks)) << argv[0];
    }
}

// Counts past their limits, numbers out of range and repeated options.
TEST(OptionValues, MistakesAreUsageErrorsSayingWhat) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{enrich, "-m", motifs, "--shuffles", "9223372036854775808", peaks}, "is above the limit of 1000"},
        {{discover, "--nmotifs", "101", peaks}, "'101' is above the limit of 100"},
        {{scan, "-m", motifs, "-j", "65", peaks}, "'65' is above the limit of 64"},
        {{scan, "-m", motifs, "-p", "1e-400", peaks}, "'1e-400' is out of range: nearer 0 than"},
        {{enrich, "-m", motifs, "--seed", "18446744073709551616", peaks}, "is out of range: above"},
        {{discover, "--seed", "-5", peaks}, "'-5' is negative"},
        {{scan, "-m", motifs, "--regions", "a.bed", "--regions", "b.bed", peaks}, "option --regions is given twice"},
        {{discover, "--genome", "a.fa", "--genome", "b.fa", peaks}, "option --genome is given twice"},
        {{logo, "-o", "a.svg", "-o", "b.svg", motifs}, "option --output (-o) is given twice"}};
    for (const auto& [argv, says] : cases) {
        const command_result r = run_command(argv);
        EXPECT_EQ(r.status, 2) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
}

TEST(OptionValues, RunningOutOfMemoryIsOneLine) {
    working_on("drawing");
    for (const std::function<int()>& body : std::vector<std::function<int()>>{
             []() -> int { throw std::bad_alloc(); }, [] { return static_cast<int>(checked_product(UINT64_MAX / 2, 3)); }}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(guarded_main("prog", body), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "prog: out of memory (while drawing)\n");
    }
    // From a worker thread too, where the exception would otherwise end in std::terminate.
    const std::thread::id main_thread = std::this_thread::get_id();
    EXPECT_EXIT(guarded_main("prog",
                             [&] {
                                 parallel_for(1000, 2, [&](std::size_t) {
                                     if (std::this_thread::get_id() != main_thread) throw std::bad_alloc();
                                     std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                 });
                                 return 0;
                             }),
                testing::ExitedWithCode(1), "^prog: out of memory \\(while drawing\\)\n$");
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
