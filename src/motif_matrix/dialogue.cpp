// The console dialogue: one prompt, name and announcement per motif.
#include <iostream>
#include <string>

#include "motif_matrix.h"

void create_n_matrices(int n) {
    static const char* const prompts[3][3] = {
        {"\nenter the file name of the motif: "},
        {"\n enter the file name of the first motif: ", "\n enter the file name of the 2nd motif: "},
        {"\n enter the file name of the 1st motif: ", "\n enter the file name of the 2nd motif: ",
         "\n enter the file name of the 3rd motif: "},
    };
    static void (*const keep_in_slot[3])() = {log_score_m1, log_score_m2, log_score_m3};
    if (n < 1 || n > 3) return;
    for (int k = 0; k < n; ++k) {
        std::cout << prompts[n - 1][k];
        check_prompts_shown();
        std::string name;
        // End of input: no name, so nothing more is built.
        if (!(std::cin >> name)) return;
        // A file name ends at its first zero byte.
        name.resize(std::char_traits<char>::length(name.c_str()));
        std::cout << "\n The output is saved in (" << name << ".matrix)";
        check_prompts_shown();
        matrix(name);
        keep_in_slot[k]();
    }
}
