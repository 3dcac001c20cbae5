// Any bytes as FASTA: the fast scan, reading the text in blocks and scanning
// it in batches of sizes the input picks, with loops it picks among those
// the processor has, must write exactly what the plain scan writes, or
// refuse the text if its first line that is not empty is no header; and so
// must the scan of its records read into memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "kernels.h"
#include "scan_paths.h"
#include "scanning.h"

namespace {

// Eight motifs of widths 1 to 40 at once, loose enough that most texts of
// bases have sites: among them one whose scores are all equal and one with
// positions that score 0.
std::vector<scan_matrix> matrices(bool by_score) {
    std::vector<scan_matrix> all;
    const double scores[4] = {0.9, -0.4, 0.2, -1.3};
    const std::size_t widths[] = {3, 1, 9, 2, 17, 5, 40, 6};
    for (std::size_t k = 0; k < 8; ++k) {
        motif m;
        m.id = "w" + std::to_string(widths[k]);
        for (std::size_t p = 0; p < widths[k]; ++p) {
            m.scores.push_back({scores[(p + k) % 4], scores[(p + k + 1) % 4], scores[(p + k + 2) % 4], scores[(p + k + 3) % 4]});
            if (k == 5) m.scores.back() = {0.5, 0.5, 0.5, 0.5};
            if (k == 7 && p % 2) m.scores.back() = {0, 0, 0, 0};
        }
        all.push_back(prepare_matrix(m, by_score ? threshold{true, 0.5 + 0.1 * static_cast<double>(widths[k])}
                                                 : threshold{false, 0.3}));
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
    // strands, the threads and the loops.
    static const std::vector<scan_matrix> by_p = matrices(false), by_score = matrices(true);
    static const std::vector<const scan_kernels*> kernels = available_kernels();
    scan_settings settings;
    settings.batch_bytes = 1 + data[0] % 64;
    settings.read_bytes = 1 + data[1] % 32;
    settings.threads = data[0] >= 240 ? 2 : 1;  // threads are slow to fuzz: a few inputs get them
    settings.minus = (data[1] & 0x40) == 0;
    settings.kernels = kernels[(data[0] / 64 + data[1] / 32) % kernels.size()];
    const std::vector<scan_matrix>& chosen = data[1] & 0x80 ? by_score : by_p;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string fast = fast_scan(text, chosen, settings);
    const bool refused = fast.rfind("error: ", 0) == 0;
    if (refused != headless(text)) {
        std::fprintf(stderr, "fuzz_fasta: the text was %s\n", refused ? "refused" : "not refused");
        std::abort();
    }
    if (refused) return 0;
    const std::string plain = plain_text(text, chosen, settings);
    if (fast != plain) {
        std::fprintf(stderr, "fuzz_fasta: the fast scan (%s) differs from the plain scan\n", settings.kernels->name);
        std::abort();
    }
    // The same records read into memory and handed over from there.
    const int fd = ::memfd_create("fasta", 0);
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    std::vector<sequence_record> records;
    if (read_fasta_records("fuzz_fasta", "/proc/self/fd/" + std::to_string(fd), records) &&
        records_scan(records, chosen, settings) != plain) {
        std::fprintf(stderr, "fuzz_fasta: the records' scan (%s) differs from the plain scan\n", settings.kernels->name);
        std::abort();
    }
    ::close(fd);
    return 0;
}
