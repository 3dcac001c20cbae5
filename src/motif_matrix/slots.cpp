// Matrix slots: each finished matrix stays in memory, in the slot of its
// motif's place in the dialogue, until the program ends.
#include "motif_matrix.h"

score_rows m1, m2, m3;
std::size_t r1 = 0, r2 = 0, r3 = 0;

void log_score_m1() {
    m1 = c_o;
    r1 = y;
}

void log_score_m2() {
    m2 = c_o;
    r2 = y;
}

void log_score_m3() {
    m3 = c_o;
    r3 = y;
}
