// Writes a deterministic FASTA set of peak-sized regions for the benchmarks:
// COUNT records of LENGTH random bases, each SITE planted (on either strand,
// anywhere in the record) in the given share of the records.
//
//   make_peaks COUNT LENGTH FILE [SITE:SHARE ...]
//   make_peaks 50000 500 peaks.fa TGACTCA:0.3 CACGTG:0.1
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::uint64_t state = 0x2545f4914f6cdd1du;
std::uint64_t next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545f4914f6cdd1du;
}

std::string reverse_complement(const std::string& site) {
    std::string out(site.rbegin(), site.rend());
    for (char& c : out) c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : c == 'T' ? 'A' : c;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_peaks COUNT LENGTH FILE [SITE:SHARE ...]\n");
        return 2;
    }
    const std::uint64_t count = std::strtoull(argv[1], nullptr, 10), length = std::strtoull(argv[2], nullptr, 10);
    std::vector<std::pair<std::string, double>> sites;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::size_t colon = arg.find(':');
        if (colon == std::string::npos || colon == 0) {
            std::fprintf(stderr, "make_peaks: '%s' is not SITE:SHARE\n", argv[i]);
            return 2;
        }
        sites.emplace_back(arg.substr(0, colon), std::strtod(arg.c_str() + colon + 1, nullptr));
    }
    std::FILE* out = std::fopen(argv[3], "wb");
    if (!out) {
        std::perror(argv[3]);
        return 1;
    }
    std::string record;
    for (std::uint64_t r = 0; r < count; ++r) {
        record.clear();
        for (std::uint64_t i = 0; i < length; ++i) record += "ACGT"[next() >> 62];
        for (const auto& [site, share] : sites) {
            if (site.size() > length || static_cast<double>(next() >> 11) / 9007199254740992.0 >= share) continue;
            const std::uint64_t at = next() % (length - site.size() + 1);
            record.replace(at, site.size(), next() >> 63 ? reverse_complement(site) : site);
        }
        std::fprintf(out, ">peak%llu\n", static_cast<unsigned long long>(r + 1));
        for (std::uint64_t at = 0; at < length; at += 60) {
            std::fwrite(record.data() + at, 1, std::min<std::uint64_t>(60, length - at), out);
            std::fputc('\n', out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
