#include <iostream>

#include "motif_matrix.h"

int main() {
    std::cout << "\nhow many matrices would you like to work with ? 1,2 or 3 : ";
    check_prompts_shown();
    int n = 0;
    // No number, or one out of range, leaves n outside 1 to 3: nothing is built.
    if (!(std::cin >> n)) n = 0;
    create_n_matrices(n);
    return run_failed ? 1 : 0;
}
