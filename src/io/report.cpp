#include "report.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <stdexcept>

#include "progress.h"
#include "write_all.h"

namespace {

thread_local captured_errors* capture = nullptr;

}  // namespace

captured_errors::captured_errors() : outer(capture) { capture = this; }

captured_errors::~captured_errors() { capture = outer; }

void print_error(const char* program, const std::string& message) {
    if (capture) {
        capture->lines.push_back(message);
        return;
    }
    clear_progress_line();
    // std::cerr is tied to std::cout, so whatever a program said on standard
    // output so far shows first.
    std::cerr << std::string(program) + ": " + message + "\n";
}

void usage_error(const char* program, const std::string& message) {
    if (capture) throw usage_failure(message);
    print_error(program, message + " (try '" + program + " --help')");
    std::exit(2);
}

void option_error(const char* program, int got, char** argv) {
    if (got == ':') usage_error(program, std::string("option ") + argv[optind - 1] + " needs a value");
    usage_error(program, optopt ? std::string("unknown option -") + static_cast<char>(optopt)
                                : std::string("unknown option ") + argv[optind - 1]);
}

void refuse_repeat(const char* program, int got, const option* options, std::initializer_list<int> repeatable,
                   std::set<int>& seen) {
    for (const int c : repeatable)
        if (c == got) return;
    const option* named = options;
    while (named->name && named->val != got) ++named;
    // Unknown options are option_error's; a flag said twice is still said.
    if (!named->name || named->has_arg == no_argument || seen.insert(got).second) return;
    std::string name = std::string("--") + named->name;
    if (got < 128) name += std::string(" (-") + static_cast<char>(got) + ")";
    usage_error(program, "option " + name + " is given twice: it takes one value");
}

double number_option(const char* program, const char* option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    const std::string what = std::string("option ") + option + ": '" + text + "' ";
    if (*text == '\0' || *end != '\0' || std::isnan(value)) usage_error(program, what + "is not a number");
    if (std::isinf(value) && errno != ERANGE) usage_error(program, what + "is not a finite number");
    // Subnormal numbers lose their digits: they are refused with those that underflow.
    if (errno == ERANGE && std::fabs(value) <= DBL_MIN) {
        char smallest[32];
        std::snprintf(smallest, sizeof smallest, "%g", DBL_MIN);
        usage_error(program, what + "is out of range: nearer 0 than the smallest number, " + smallest);
    }
    if (errno == ERANGE) {
        char greatest[32];
        std::snprintf(greatest, sizeof greatest, "%g", DBL_MAX);
        usage_error(program, what + "is out of range: beyond the greatest number, " + greatest);
    }
    return value;
}

std::uint64_t whole_option(const char* program, const char* option, const char* text, std::uint64_t least,
                           std::uint64_t most) {
    const std::string what = std::string("option ") + option + ": '" + text + "' ";
    const std::string not_whole = what + "is not a whole number of at least " + std::to_string(least);
    const bool minus = *text == '-';
    // strtoull takes blanks and a sign before the digits; a count takes neither.
    if (!std::isdigit(static_cast<unsigned char>(text[minus ? 1 : 0]))) usage_error(program, not_whole);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text + (minus ? 1 : 0), &end, 10);
    if (*end != '\0') usage_error(program, not_whole);
    if (minus && value != 0) usage_error(program, what + "is negative");
    if (errno == ERANGE || value > most)
        usage_error(program, what + (most == UINT64_MAX ? "is out of range: above " : "is above the limit of ") +
                                 std::to_string(most));
    if (value < least) usage_error(program, not_whole);
    return value;
}

unsigned threads_option(const char* program, const char* text) {
    return static_cast<unsigned>(whole_option(program, "-j", text, 1, max_threads));
}

void print_and_exit(const char* program, const std::string& text) {
    std::exit(write_output(program, text) ? 0 : 1);
}

namespace {

// Read by a worker thread that runs out of memory while the main thread names stages.
std::atomic<const char*> stage{nullptr};
const char* guarded_program = "motif tools";

std::string out_of_memory_line() {
    const char* const what = stage;
    return std::string("out of memory") + (what ? std::string(" (while ") + what + ")" : "");
}

}  // namespace

void working_on(const char* what) { stage = what; }

int guarded_main(const char* program, const std::function<int()>& body) {
    guarded_program = program;
    try {
        return body();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    print_error(program, out_of_memory_line());
    return 1;
}

void out_of_memory_on_thread() {
    print_error(guarded_program, out_of_memory_line());
    // Other threads still run: no destructors, no flushing of what they hold.
    std::_Exit(1);
}

std::size_t checked_product(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product;
    if (__builtin_mul_overflow(a, b, &product) || product > SIZE_MAX) throw std::length_error("count product");
    return static_cast<std::size_t>(product);
}

void refuse_output_over_input(const char* program, const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs) {
    for (const std::string& out : outputs) {
        struct stat written;
        // Only a regular file is replaced; a missing one is no input.
        if (out == "-" || ::stat(out.c_str(), &written) != 0 || !S_ISREG(written.st_mode)) continue;
        for (const std::string& in : inputs) {
            struct stat read;
            if (in != "-" && ::stat(in.c_str(), &read) == 0 && read.st_dev == written.st_dev && read.st_ino == written.st_ino)
                usage_error(program, "the output " + out + " is the input " + in + ": it would be overwritten");
        }
    }
}

std::string cut_name(const std::string& name) { return name.size() <= 100 ? name : name.substr(0, 100) + "..."; }
