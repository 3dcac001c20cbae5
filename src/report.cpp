#include <iostream>

#include "motif_matrix.h"

bool run_failed = false;

void report_failure(const char* what, const std::string& file, const char* reason) {
    // std::cerr is tied to std::cout, so the dialogue so far shows first.
    std::cerr << "motif_matrix: " << what << " '" << file << "': " << reason << '\n';
    run_failed = true;
}
