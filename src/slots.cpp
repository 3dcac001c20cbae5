// Matrix slots: each finished matrix stays in memory, in the slot of its
// motif's place in the dialogue, until the program ends.
#include "motif_matrix.h"

score_rows m1, m2, m3;
std::size_t r1 = 0, r2 = 0, r3 = 0;

void log_score_m1() {
    r1 = y;
    m1.assign(c_o.begin(), c_o.begin() + static_cast<std::ptrdiff_t>(y));
}

void log_score_m2() {
    r2 = y;
    m2.assign(c_o.begin(), c_o.begin() + static_cast<std::ptrdiff_t>(y));
}

void log_score_m3() {
    r3 = y;
    m3.assign(c_o.begin(), c_o.begin() + static_cast<std::ptrdiff_t>(y));
}
