// Writes a motif file of SITES binding sites of WIDTH positions, each after a
// header line ">site_N", bases drawn from "ACGTacgtN". The same arguments
// always give the same bytes, so runs on different days compare.
//
//   make_sites SITES WIDTH FILE
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_sites SITES WIDTH FILE\n");
        return 2;
    }
    const unsigned long long sites = std::strtoull(argv[1], nullptr, 10);
    const unsigned long long width = std::strtoull(argv[2], nullptr, 10);
    std::FILE* out = std::fopen(argv[3], "wb");
    if (!out) {
        std::perror(argv[3]);
        return 1;
    }
    static const char letters[] = "ACGTacgtN";
    std::uint64_t state = 0x9E3779B97F4A7C15u;  // xorshift64: fixed seed, fixed output
    std::string line;
    for (unsigned long long s = 0; s < sites; ++s) {
        line = ">site_" + std::to_string(s) + '\n';
        for (unsigned long long p = 0; p < width; ++p) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            line += letters[(state >> 32) % 9];
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    return 0;
}
