// The plain scan: the reference the fast path is tested against. The whole
// input is held, each record's positions gathered, and every window of
// every motif on every strand scored base by base.
#include "bases.h"
#include "fasta.h"
#include "scanning.h"

std::vector<plain_site> plain_scan(const std::string& fasta, const std::vector<scan_matrix>& matrices,
                                   const scan_settings& settings) {
    // Records: a name and its positions, the bytes of its lines but line
    // feeds, carriage returns, blanks and tabs.
    std::vector<std::pair<std::string, std::string>> records;
    std::size_t at = 0;
    while (at < fasta.size()) {
        std::size_t end = fasta.find('\n', at);
        if (end == std::string::npos) end = fasta.size();
        const std::string line = fasta.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line[0] == '>') {
            const std::string name = line.substr(1, line.find_first_of(" \t\r") - 1);
            records.emplace_back(name.empty() ? unnamed_name(records.size() + 1) : name, "");
        } else if (!records.empty()) {
            for (const char c : line)
                if (c != '\r' && c != ' ' && c != '\t') records.back().second += c;
        }
    }

    std::vector<plain_site> found;
    for (const auto& [name, positions] : records) {
        std::vector<std::uint8_t> codes(positions.size());
        for (std::size_t i = 0; i < positions.size(); ++i) codes[i] = base_code[static_cast<unsigned char>(positions[i])];
        for (std::size_t start = 0; start < positions.size(); ++start) {
            for (std::uint32_t index = 0; index < matrices.size(); ++index) {
                const scan_matrix& m = matrices[index];
                if (start + m.width > positions.size()) continue;
                bool bases_only = true;
                for (std::size_t k = 0; k < m.width; ++k) bases_only = bases_only && codes[start + k] < 4;
                if (!bases_only) continue;
                for (const bool minus : {false, true}) {
                    if (!(minus ? settings.minus : settings.plus)) continue;
                    double score;
                    std::int64_t cell;
                    if (check_window(m, codes.data() + start, minus, score, cell))
                        found.push_back({name, positions.substr(start, m.width), {start, 0, index, minus, score, cell}});
                }
            }
        }
    }
    return found;
}
