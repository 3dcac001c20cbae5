// Writes a deterministic FASTA genome for the scanning benchmarks: records of
// 1 to 250 Mb in 60-column lines, random bases, about 2% of them in
// lower-case stretches and some runs of N. With --isochores, GC content
// drifts between 30% and 65% from one 100 kb stretch to the next, and
// around that from one kb to the next, as in mammalian genomes.
//
//   make_genome MEGABYTES FILE [--isochores]
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
    const bool isochores = argc == 4 && std::string(argv[3]) == "--isochores";
    if (argc != 3 && !isochores) {
        std::fprintf(stderr, "usage: make_genome MEGABYTES FILE [--isochores]\n");
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
        double isochore = 0.45, gc = 0.5;
        for (std::uint64_t at = 0; at < length; at += 60) {
            line.clear();
            for (std::uint64_t i = at; i < std::min(at + 60, length); ++i) {
                const std::uint64_t r = next();
                if (lower == 0 && n_run == 0) {
                    if (r % 100000 < 4) lower = 500;   // about 2% of positions soft-masked
                    else if (r % 100000 < 5) n_run = 1000;  // about 1% in runs of N
                }
                char base = "ACGT"[r >> 62];
                if (isochores) {
                    if (i % 100000 == 0) isochore = 0.30 + static_cast<double>(next() % 3501) / 10000;
                    if (i % 1000 == 0) gc = std::clamp(isochore + (static_cast<double>(next() % 2001) - 1000) / 10000, 0.2, 0.8);
                    const double u = static_cast<double>(r >> 11) / 9007199254740992.0;
                    base = u < gc / 2 ? 'G' : u < gc ? 'C' : u < (1 + gc) / 2 ? 'A' : 'T';
                }
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
