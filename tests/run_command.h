// Runs a program as a user would, with given arguments and standard input,
// and catches what it writes and its exit status.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "helpers.h"

struct command_result {
    std::string out, err;
    int status;  // a crash shows as 128 + the signal, never as 0, 1 or 2
};

// Standard output goes to `out_path` if given (a device such as /dev/full).
inline command_result run_command(const std::vector<std::string>& argv, const std::string& input = "",
                                  const std::string& out_path = "") {
    scratch_dir dir;
    write_file(dir / "in", input);
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open((dir / "in").c_str(), O_RDONLY);
        const int out = ::open(out_path.empty() ? (dir / "out").c_str() : out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {read_file(dir / "out"), read_file(dir / "err"), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}
