// Writes a deterministic FASTA genome for the scanning benchmark: records of
// 1 to 250 Mb in 60-column lines, random bases, about 2% of them in
// lower-case stretches and some runs of N.
//
//   make_genome MEGABYTES FILE
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::uint64_t state = 0x9e3779b97f4a7c15u;
std::uint64_t next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545f4914f6cdd1du;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_genome MEGABYTES FILE\n");
        return 2;
    }
    const std::uint64_t total = std::strtoull(argv[1], nullptr, 10) * 1000000;
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::uint64_t written = 0;
    const std::uint64_t sizes[] = {250, 1, 120, 60, 30, 8, 180, 2, 90, 45};  // Mb, in turn
    std::string line;
    for (int record = 1; written < total; ++record) {
        const std::uint64_t length = std::min(sizes[(record - 1) % 10] * 1000000, total - written);
        std::fprintf(out, ">chr%d synthetic\n", record);
        std::uint64_t lower = 0, n_run = 0;
        for (std::uint64_t at = 0; at < length; at += 60) {
            line.clear();
            for (std::uint64_t i = at; i < std::min(at + 60, length); ++i) {
                const std::uint64_t r = next();
                if (lower == 0 && n_run == 0) {
                    if (r % 100000 < 4) lower = 500;   // about 2% of positions soft-masked
                    else if (r % 100000 < 5) n_run = 1000;  // about 1% in runs of N
                }
                char base = "ACGT"[r >> 62];
                if (n_run > 0) {
                    base = 'N';
                    --n_run;
                } else if (lower > 0) {
                    base = static_cast<char>(base + 32);
                    --lower;
                }
                line += base;
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), out);
            written += line.size() - 1;
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
