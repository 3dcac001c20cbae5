// Both executables run as a user would: answers piped in, in a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "helpers.h"

namespace {

const std::string question = "\nhow many matrices would you like to work with ? 1,2 or 3 : ";

std::string saved(const std::string& name) { return "\n The output is saved in (" + name + ".matrix)"; }

struct run_result {
    std::string out, err;
    int status;
};

class Run : public testing::TestWithParam<const char*> {
protected:
    scratch_dir dir;
    // Where standard output goes instead of the file read back, if set: a
    // path, or "" for a closed standard output.
    const char* stdout_to = nullptr;

    // Runs the executable in the scratch folder with the answers on a pipe;
    // `later` answers follow once standard output shows `prompt`, so that
    // they are still in the pipe when the program next reads it.
    run_result run(const std::string& answers, const std::string& prompt = "", const std::string& later = "") {
        int pipe_fds[2];
        EXPECT_EQ(::pipe(pipe_fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(SIGPIPE, SIG_DFL);
            ::dup2(pipe_fds[0], 0);
            ::close(pipe_fds[1]);
            int out = ::open((dir / ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            int err = ::open((dir / ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (stdout_to == nullptr) ::dup2(out, 1);
            else if (*stdout_to == '\0') ::close(1);
            else ::dup2(::open(stdout_to, O_WRONLY), 1);
            ::dup2(err, 2);
            if (::chdir(dir.path.c_str()) == 0) ::execl(GetParam(), GetParam(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipe_fds[0]);
        std::signal(SIGPIPE, SIG_IGN);  // the program may end before reading every answer
        [[maybe_unused]] auto written = ::write(pipe_fds[1], answers.data(), answers.size());
        if (!later.empty()) {
            for (int tries = 0; tries < 500 && read_file(dir / ".out").find(prompt) == std::string::npos; ++tries)
                ::usleep(10000);
            written = ::write(pipe_fds[1], later.data(), later.size());
        }
        ::close(pipe_fds[1]);
        int status = 0;
        ::waitpid(child, &status, 0);
        // A crash shows as a status above 128, never as 0 or 1.
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run_result result{read_file(dir / ".out"), read_file(dir / ".err"), code};
        std::filesystem::remove(dir / ".out");
        std::filesystem::remove(dir / ".err");
        return result;
    }

    std::size_t files_in_dir() {
        auto entries = std::filesystem::directory_iterator(dir.path);
        return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
    }
};

TEST_P(Run, OneMotif) {
    std::filesystem::copy_file(EXAMPLES_DIR "/three.sites", dir / "three.sites");
    write_file(dir / "three.sites.matrix", "an older, longer matrix file that must not show through");
    const run_result r = run("1\nthree.sites\n");
    EXPECT_EQ(r.out, question + "\nenter the file name of the motif: " + saved("three.sites"));
    EXPECT_EQ(read_file(dir / "three.sites.matrix"), three_sites_matrix);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_P(Run, PromptsForTwoAndThreeMotifs) {
    write_file(dir / "a", "ACGT\nacga\nACTT\n");
    // Names on one line are taken one per prompt; a number may run into the first name.
    run_result r = run("2a a\n");
    EXPECT_EQ(r.out, question + "\n enter the file name of the first motif: " + saved("a") +
                         "\n enter the file name of the 2nd motif: " + saved("a"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "a.matrix"), three_sites_matrix);
    r = run(" 3 a\n\n  a\ta\n");
    EXPECT_EQ(r.out, question + "\n enter the file name of the 1st motif: " + saved("a") +
                         "\n enter the file name of the 2nd motif: " + saved("a") +
                         "\n enter the file name of the 3rd motif: " + saved("a"));
    EXPECT_EQ(r.status, 0);
}

TEST_P(Run, AnswersOtherThanOneToThreeBuildNothing) {
    for (const char* answer : {"0\na\n", "4\na\n", "-1 a\n", "many a\n", "", "99999999999 a\n"}) {
        const run_result r = run(answer);
        EXPECT_EQ(r.out, question) << answer;
        EXPECT_EQ(r.err, "") << answer;
        EXPECT_EQ(r.status, 0) << answer;
        EXPECT_EQ(files_in_dir(), 0u) << answer;
    }
}

TEST_P(Run, EndOfInputAtANamePromptEndsTheRun) {
    write_file(dir / "a", "ACGT\n");
    const run_result r = run("3 a");
    EXPECT_EQ(r.out, question + "\n enter the file name of the 1st motif: " + saved("a") +
                         "\n enter the file name of the 2nd motif: ");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / ".matrix"));
}

TEST_P(Run, LongNamesAreHeldWhole) {
    const std::string name(200, 'n');
    write_file(dir / name, "ACGT\nacga\nACTT");  // no final line feed: the last site still counts
    const run_result r = run("1 " + name + "\n");
    EXPECT_EQ(r.out, question + "\nenter the file name of the motif: " + saved(name));
    EXPECT_EQ(read_file(dir / (name + ".matrix")), three_sites_matrix);
}

TEST_P(Run, WideMotifsAreWrittenWholeTooWideOnesRefused) {
    write_file(dir / "wide", std::string(1000000, 'g') + "\n");
    write_file(dir / "too_wide", "ACGT\n" + std::string((1 << 22) + 1, 'a') + "\n");
    const run_result r = run("2 wide too_wide\n");
    EXPECT_EQ(r.err, "motif_matrix: cannot read motif file 'too_wide': a line is longer than 4194304 positions\n");
    EXPECT_EQ(r.status, 1);
    const std::string matrix = read_file(dir / "wide.matrix");
    const std::size_t line = 2 + 11 * 1000000 + 1;
    ASSERT_EQ(matrix.size(), 4 * line);
    EXPECT_EQ(matrix.substr(line - 12, 14), " -0.693147|\nC|");
    EXPECT_EQ(matrix.substr(2 * line, 24), "G|  0.916291|  0.916291|");
    EXPECT_EQ(read_file(dir / "too_wide.matrix"), "\n\n\n\n");
}

// Each fault hits the second of three motifs: it is reported in one line
// per failure, the dialogue goes on as usual, and the first and third
// motifs are still built.
TEST_P(Run, FaultsAreReportedAndTheRunGoesOn) {
    const long name_max = ::pathconf(dir.path.c_str(), _PC_NAME_MAX);
    ASSERT_GT(name_max, 8);
    const std::string long_name(static_cast<std::size_t>(name_max) - 3, 'n');  // fits, but not with ".matrix"
    struct fault {
        std::string name;
        std::function<void()> set_up;
        std::string errors;
        bool empty_matrix;  // the matrix file holds four empty lines
    } faults[] = {
        {"missing", [] {}, "motif_matrix: cannot read motif file 'missing': No such file or directory\n", true},
        {"folder", [&] { std::filesystem::create_directory(dir / "folder"); },
         "motif_matrix: cannot read motif file 'folder': Is a directory\n", true},
        {"pipe", [&] { ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0666), 0); },
         "motif_matrix: cannot read motif file 'pipe': Illegal seek\n", true},
        // Standard input is the pipe of answers: it is not read as a motif,
        // and the answer after it is still there for the next prompt.
        {"in", [&] { std::filesystem::create_symlink("/dev/stdin", dir / "in"); },
         "motif_matrix: cannot read motif file 'in': Illegal seek\n", true},
        {"no_folder/a", [] {},
         "motif_matrix: cannot read motif file 'no_folder/a': No such file or directory\n"
         "motif_matrix: cannot create matrix file 'no_folder/a.matrix': No such file or directory\n",
         false},
        {long_name, [&] { write_file(dir / long_name, "ACGT\n"); },
         "motif_matrix: cannot create matrix file '" + long_name + ".matrix': File name too long\n", false},
        {"full", [&] {
             write_file(dir / "full", "ACGT\n");
             std::filesystem::create_symlink("/dev/full", dir / "full.matrix");
         },
         "motif_matrix: cannot write matrix file 'full.matrix': No space left on device\n", false},
    };
    std::signal(SIGPIPE, SIG_IGN);
    for (const fault& f : faults) {
        SCOPED_TRACE(f.name);
        std::filesystem::remove_all(dir.path);
        std::filesystem::create_directory(dir.path);
        write_file(dir / "a", "ACGT\nacga\nACTT\n");
        write_file(dir / "b", "ACGT\n");
        f.set_up();
        // A named pipe gets a writer, so that opening it does not wait.
        std::thread writer;
        if (f.name == "pipe") writer = std::thread([&] {
            const int fd = ::open((dir / "pipe").c_str(), O_WRONLY);
            [[maybe_unused]] auto written = ::write(fd, "ACGT\n", 5);
            ::close(fd);
        });
        const run_result r = run("3 a " + f.name + "\n", "3rd motif: ", "b\n");
        if (writer.joinable()) {
            ::close(::open((dir / "pipe").c_str(), O_RDONLY | O_NONBLOCK));  // frees a writer still waiting
            writer.join();
        }
        EXPECT_EQ(r.out, question + "\n enter the file name of the 1st motif: " + saved("a") +
                             "\n enter the file name of the 2nd motif: " + saved(f.name) +
                             "\n enter the file name of the 3rd motif: " + saved("b"));
        EXPECT_EQ(r.err, f.errors);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(read_file(dir / "a.matrix"), three_sites_matrix);
        EXPECT_EQ(read_file(dir / "b.matrix").substr(0, 13), "A|  0.916291|");
        if (f.empty_matrix) {
            EXPECT_EQ(read_file(dir / (f.name + ".matrix")), "\n\n\n\n");
        }
    }
}

// Prompts that cannot be shown fail the run in one line; the matrices are
// still built, and a closed standard output never sends prompts into them.
TEST_P(Run, AStandardOutputThatTakesNothingFailsTheRun) {
    const std::pair<const char*, const char*> outputs[] = {
        {"/dev/full", "motif_matrix: standard output: No space left on device\n"},
        {"", "motif_matrix: standard output: Bad file descriptor\n"},
    };
    for (const auto& [to, error] : outputs) {
        SCOPED_TRACE(*to ? to : "closed");
        std::filesystem::copy_file(EXAMPLES_DIR "/three.sites", dir / "three.sites",
                                   std::filesystem::copy_options::overwrite_existing);
        stdout_to = to;
        const run_result r = run("2 three.sites three.sites\n");
        EXPECT_EQ(r.err, error);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(read_file(dir / "three.sites.matrix"), three_sites_matrix);
    }
}

INSTANTIATE_TEST_SUITE_P(BothExecutables, Run, testing::Values(MOTIF_MATRIX_EXE, MOTIF_MATRIX_ALT_EXE),
                         [](const auto& info) { return std::filesystem::path(info.param).filename().string(); });

}  // namespace
