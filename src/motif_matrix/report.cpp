#include <cerrno>
#include <cstring>
#include <iostream>

#include "motif_matrix.h"
#include "report.h"

bool run_failed = false;

void report_failure(const char* what, const std::string& file, const char* reason) {
    print_error("motif_matrix", std::string(what) + " '" + file + "': " + reason);
    run_failed = true;
}

void check_prompts_shown() {
    // Once failed, the stream writes nothing more: the first failure's
    // reason is the one to give.
    if (!std::cout) return;
    errno = 0;
    if (std::cout.flush()) return;
    print_error("motif_matrix", std::string("standard output: ") +
                                    (errno != 0 ? std::strerror(errno) : "cannot be written"));
    run_failed = true;
}
