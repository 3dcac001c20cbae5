// One-line error reports, the same shape in every program.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <getopt.h>

// Writes "PROGRAM: MESSAGE" and a line feed to standard error in one piece.
void print_error(const char* program, const std::string& message);

// Callers that are not programs (the Python module) cannot let a bad value
// end the process: while one of these lives on a thread, print_error keeps
// that thread's messages in `lines` instead of writing them, and
// usage_error throws usage_failure instead of exiting.
struct captured_errors {
    captured_errors();
    ~captured_errors();
    captured_errors(const captured_errors&) = delete;
    captured_errors& operator=(const captured_errors&) = delete;
    std::vector<std::string> lines;  // the messages, without the program's name

  private:
    captured_errors* outer;
};
struct usage_failure : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// Writes "PROGRAM: MESSAGE (try 'PROGRAM --help')" and exits with status 2.
[[noreturn]] void usage_error(const char* program, const std::string& message);

// The usage error of an option getopt_long did not take: it returned
// `got` (':' for a missing value, '?' for an unknown option).
[[noreturn]] void option_error(const char* program, int got, char** argv);

// A usage error for the second use of an option that takes a value, but
// for those in `repeatable` (-m, --motif): what getopt_long returned so far
// is in `seen`, `options` names them.
void refuse_repeat(const char* program, int got, const option* options, std::initializer_list<int> repeatable,
                   std::set<int>& seen);

// An option's value as a finite number, or a usage error.
double number_option(const char* program, const char* option, const char* text);

// An option's value as a whole number from `least` to `most`, or a usage error.
std::uint64_t whole_option(const char* program, const char* option, const char* text, std::uint64_t least,
                           std::uint64_t most);

// The value of -j N: a whole number from 1 to max_threads.
inline constexpr unsigned max_threads = 64;
unsigned threads_option(const char* program, const char* text);

// Writes `text` to standard output and exits: 0, or 1 with one line when it
// could not be written (--help into a full disk).
[[noreturn]] void print_and_exit(const char* program, const std::string& text);

// Runs a program's body: running out of memory (std::bad_alloc, or a size
// beyond any allocation) ends it with "PROGRAM: out of memory (while WHAT)",
// WHAT the last stage named by working_on, and status 1.
int guarded_main(const char* program, const std::function<int()>& body);
void working_on(const char* what);
// The same line and status from a worker thread, where the exception
// cannot reach guarded_main: the process ends at once.
[[noreturn]] void out_of_memory_on_thread();

// The product of two counts that size an allocation; past SIZE_MAX it
// throws std::length_error, which guarded_main reports.
std::size_t checked_product(std::uint64_t a, std::uint64_t b);

// A usage error if an output path (other than '-') is the same file as an
// input (device and inode, links followed): it would be replaced by the
// output before, or while, it is read.
void refuse_output_over_input(const char* program, const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs);

// A name (a chromosome's, a record's) as quoted in a message: at most 100
// characters, cut with "..." past that, so that a huge name makes no huge line.
std::string cut_name(const std::string& name);
