// Plain files read through their mapping, a window at a time, and the one
// line a file that shrinks under it gets.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "gzip.h"
#include "helpers.h"
#include "input.h"

namespace {

// Views of every size, across the mapping's windows, give the file's bytes;
// gzip and standard input are copied.
TEST(Input, ViewsGiveTheFileWhateverTheirSize) {
    scratch_dir dir;
    std::string text(40 << 20, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i * 7919 % 26);
    write_file(dir / "big", text);
    write_file(dir / "big.gz", gzip(text.substr(0, 3 << 20)));
    for (const auto& [name, expected] : {std::pair<std::string, std::string>{"big", text}, {"big.gz", text.substr(0, 3 << 20)}}) {
        for (const std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) + 7, std::size_t{5} << 20}) {
            input_file input;
            std::string error;
            ASSERT_TRUE(open_input(dir / name, input, error)) << error;
            EXPECT_EQ(input.mapped, name == "big");
            std::string seen;
            const char* data;
            for (long got; (got = view_input(input, data, size, error)) > 0;) seen.append(data, static_cast<std::size_t>(got));
            close_input(input);
            EXPECT_EQ(error, "");
            EXPECT_TRUE(seen == expected) << name << " in views of " << size;
        }
    }
}

TEST(Input, AFileThatShrinksWhileReadEndsTheRunInOneLine) {
    scratch_dir dir;
    write_file(dir / "shrinks", std::string(20 << 20, 'A'));
    const pid_t child = ::fork();
    if (child == 0) {
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(err, 2);
        input_file input;
        std::string error;
        const char* data;
        if (!open_input(dir / "shrinks", input, error) || view_input(input, data, 1 << 20, error) != 1 << 20) ::_exit(3);
        if (::truncate((dir / "shrinks").c_str(), 0) != 0) ::_exit(4);
        view_input(input, data, 1 << 20, error);
        volatile char touched = data[0];  // past the file's end now: a bus error
        (void)touched;
        ::_exit(5);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file(dir / "err"), std::string(program_invocation_short_name) + ": " + dir / "shrinks" +
                                          ": the file shrank while it was read\n");
}

}  // namespace
