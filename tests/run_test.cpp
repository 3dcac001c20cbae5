// Both executables run as a user would: answers piped in, in a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

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

    // Runs the executable in the scratch folder with the answers on a pipe.
    run_result run(const std::string& answers) {
        int pipe_fds[2];
        EXPECT_EQ(::pipe(pipe_fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(SIGPIPE, SIG_DFL);
            ::dup2(pipe_fds[0], 0);
            ::close(pipe_fds[1]);
            int out = ::open((dir / ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            int err = ::open((dir / ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            ::dup2(out, 1);
            ::dup2(err, 2);
            if (::chdir(dir.path.c_str()) == 0) ::execl(GetParam(), GetParam(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipe_fds[0]);
        std::signal(SIGPIPE, SIG_IGN);  // the program may end before reading every answer
        [[maybe_unused]] auto written = ::write(pipe_fds[1], answers.data(), answers.size());
        ::close(pipe_fds[1]);
        int status = 0;
        ::waitpid(child, &status, 0);
        run_result result{read_file(dir / ".out"), read_file(dir / ".err"), WEXITSTATUS(status)};
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

TEST_P(Run, UnreadableMotifsAreReportedAndTheRunGoesOn) {
    write_file(dir / "a", "ACGT\nacga\nACTT\n");
    std::filesystem::create_directory(dir / "folder");
    const run_result r = run("3 missing /dev/stdin folder\n");
    EXPECT_EQ(r.out, question + "\n enter the file name of the 1st motif: " + saved("missing") +
                         "\n enter the file name of the 2nd motif: " + saved("/dev/stdin") +
                         "\n enter the file name of the 3rd motif: " + saved("folder"));
    EXPECT_EQ(r.err,
              "motif_matrix: cannot read motif file 'missing': No such file or directory\n"
              "motif_matrix: cannot read motif file '/dev/stdin': Illegal seek\n"
              "motif_matrix: cannot read motif file 'folder': Is a directory\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(dir / "missing.matrix"), "\n\n\n\n");
    EXPECT_EQ(read_file(dir / "folder.matrix"), "\n\n\n\n");
}

TEST_P(Run, UnwritableMatrixFilesAreReported) {
    write_file(dir / "a", "ACGT\nacga\nACTT\n");
    std::filesystem::create_symlink("/dev/full", dir / "a.matrix");
    const run_result r = run("2 a no_folder/a\n");
    EXPECT_EQ(r.out, question + "\n enter the file name of the first motif: " + saved("a") +
                         "\n enter the file name of the 2nd motif: " + saved("no_folder/a"));
    EXPECT_EQ(r.err,
              "motif_matrix: cannot write matrix file 'a.matrix': No space left on device\n"
              "motif_matrix: cannot read motif file 'no_folder/a': No such file or directory\n"
              "motif_matrix: cannot create matrix file 'no_folder/a.matrix': No such file or directory\n");
    EXPECT_EQ(r.status, 1);
}

INSTANTIATE_TEST_SUITE_P(BothExecutables, Run, testing::Values(MOTIF_MATRIX_EXE, MOTIF_MATRIX_ALT_EXE),
                         [](const auto& info) { return std::filesystem::path(info.param).filename().string(); });

}  // namespace
