// Writes a deterministic FASTA set with motif sites planted, for the
// motif finder's benchmark and example: COUNT records of LENGTH bases,
// random (uniform) or windows of a real FASTA file taken in order; each
// motif's sites, drawn base by base from its frequencies (the logo's) and
// put on either strand at random, planted in the given share of records.
//
//   make_planted COUNT LENGTH OUT.fa MOTIFS ID:SHARE [ID:SHARE ...] [--background FASTA] [--seed N]
//   make_planted 2000 200 planted.fa jaspar.jaspar MA0099.3:0.1
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "logo.h"
#include "motif.h"
#include "scan_input.h"
#include "write_all.h"

namespace {

std::uint64_t state = 1;
std::uint64_t next() {  // splitmix64
    std::uint64_t z = state += 0x9e3779b97f4a7c15u;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}
double uniform() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "make_planted: %s\n", message.c_str());
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) fail("usage: make_planted COUNT LENGTH OUT.fa MOTIFS ID:SHARE [ID:SHARE ...] [--background FASTA] [--seed N]");
    const std::size_t count = std::strtoull(argv[1], nullptr, 10), length = std::strtoull(argv[2], nullptr, 10);
    const std::string out = argv[3];
    std::vector<motif> all;
    if (!load_motifs("make_planted", {argv[4]}, {}, {}, all)) return 1;
    std::vector<std::pair<motif, double>> planted;
    std::string background;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--background") == 0 && i + 1 < argc) {
            background = argv[++i];
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            state = std::strtoull(argv[++i], nullptr, 10);
        } else {
            const std::string planting = argv[i];
            const std::size_t colon = planting.rfind(':');
            if (colon == std::string::npos) fail("'" + planting + "' is not ID:SHARE");
            const std::string id = planting.substr(0, colon);
            bool known = false;
            for (const motif& m : all)
                if (m.id == id || m.id.rfind(id + "_", 0) == 0 || (!m.names.empty() && m.names[0] == id)) {
                    planted.emplace_back(m, std::strtod(planting.c_str() + colon + 1, nullptr));
                    known = true;
                    break;
                }
            if (!known) fail("no motif " + id);
        }
    }
    std::vector<std::string> windows;
    if (!background.empty()) {
        std::vector<sequence_record> records;
        if (!read_fasta_records("make_planted", background, records)) return 1;
        for (const sequence_record& r : records)
            for (std::size_t at = 0; at + length <= r.positions.size() && windows.size() < count; at += length)
                windows.push_back(r.positions.substr(at, length));
        if (windows.size() < count) fail("the background holds " + std::to_string(windows.size()) + " windows, not " + std::to_string(count));
    }
    std::string text;
    for (std::size_t r = 0; r < count; ++r) {
        std::string seq = background.empty() ? std::string() : windows[r];
        if (background.empty())
            for (std::size_t i = 0; i < length; ++i) seq += "ACGT"[next() % 4];
        for (const auto& [m, share] : planted) {
            if (uniform() >= share || m.scores.size() > length) continue;
            std::string site;
            for (const auto& column : m.scores) {
                const logo_stack stack = stack_of(column);
                double u = uniform();
                int b = 0;
                while (b < 3 && u >= stack.probability[b]) u -= stack.probability[b++];
                site += "ACGT"[b];
            }
            if (next() % 2) {
                std::string reverse(site.rbegin(), site.rend());
                for (char& c : reverse) c = "TGCA"[std::string("ACGT").find(c)];
                site = reverse;
            }
            seq.replace(next() % (length - site.size() + 1), site.size(), site);
        }
        text += ">seq" + std::to_string(r + 1) + "\n";
        for (std::size_t at = 0; at < seq.size(); at += 60) text += seq.substr(at, 60) + "\n";
    }
    return write_file("make_planted", out, text) ? 0 : 1;
}
