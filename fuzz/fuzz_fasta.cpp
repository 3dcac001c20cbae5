// Any bytes as FASTA: the fast scan, reading the text in blocks and scanning
// it in batches of sizes the input picks, must write exactly what the plain
// scan writes, or refuse the text if its first line that is not empty is no
// header.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scan.h"
#include "scan_paths.h"

namespace {

// Matrices of widths 1, 3 and 9, loose enough that most texts of bases have sites.
std::vector<scan_matrix> matrices(bool by_score) {
    std::vector<scan_matrix> all;
    const double scores[4] = {0.9, -0.4, 0.2, -1.3};
    for (const std::size_t width : {3, 1, 9}) {
        motif file;
        file.id = "w" + std::to_string(width);
        for (std::size_t p = 0; p < width; ++p)
            file.scores.push_back({scores[p % 4], scores[(p + 1) % 4], scores[(p + 2) % 4], scores[(p + 3) % 4]});
        all.push_back(prepare_matrix(file, by_score ? threshold{true, 0.5} : threshold{false, 0.3}));
    }
    return all;
}

// Whether the plain reading of the text meets a line of positions before any header.
bool headless(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (text[at] == '>') return false;
        if (text.find_first_not_of(" \t\r", at) < end) return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes pick the batch and block sizes, the threshold, the
    // strands and the threads.
    static const std::vector<scan_matrix> by_p = matrices(false), by_score = matrices(true);
    scan_settings settings;
    settings.batch_bytes = 1 + data[0] % 64;
    settings.read_bytes = 1 + data[1] % 32;
    settings.threads = data[0] >= 240 ? 2 : 1;  // threads are slow to fuzz: a few inputs get them
    settings.minus = (data[1] & 0x40) == 0;
    const std::vector<scan_matrix>& chosen = data[1] & 0x80 ? by_score : by_p;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string fast = fast_scan(text, chosen, settings);
    const bool refused = fast.rfind("error: ", 0) == 0;
    if (refused != headless(text)) {
        std::fprintf(stderr, "fuzz_fasta: the text was %s\n", refused ? "refused" : "not refused");
        std::abort();
    }
    if (!refused && fast != plain_scan(text, chosen, settings)) {
        std::fprintf(stderr, "fuzz_fasta: the fast scan differs from the plain scan\n");
        std::abort();
    }
    return 0;
}
