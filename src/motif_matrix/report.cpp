#include "motif_matrix.h"
#include "report.h"

bool run_failed = false;

void report_failure(const char* what, const std::string& file, const char* reason) {
    print_error("motif_matrix", std::string(what) + " '" + file + "': " + reason);
    run_failed = true;
}
