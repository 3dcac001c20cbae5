// The choice of loops, made once.
#include "kernels.h"

const scan_kernels& best_kernels() {
    static const scan_kernels& best = avx512_kernels() ? *avx512_kernels()
                                      : avx2_kernels() ? *avx2_kernels()
                                                       : portable_kernels();
    return best;
}

std::vector<const scan_kernels*> available_kernels() {
    std::vector<const scan_kernels*> all = {&portable_kernels()};
    for (const scan_kernels* k : {avx2_kernels(), avx512_kernels()})
        if (k) all.push_back(k);
    return all;
}
