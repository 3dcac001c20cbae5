// The fast scan against the plain one on generated FASTA, the two filter
// paths against each other, and p-values against brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "scan.h"
#include "scan_paths.h"

namespace {

using namespace std::string_literals;

// Random FASTA: records of any length (empty ones too) with headers that
// have descriptions after a blank or tab, lines of any length ending in LF
// or CR LF, blanks and tabs inside lines, soft-masked stretches, runs of N,
// IUPAC codes and odd bytes, planted copies of a consensus so that sites
// are found, and sometimes no final line feed.
std::string random_fasta(std::mt19937_64& random, const std::string& consensus) {
    static const std::string odd("NnRYKMSWBDHVryk-*.\x01\x7f\x80\xff", 22);
    std::string text;
    if (random() % 4 == 0) text += random() % 2 ? "\n\n" : " \t\r\n";  // empty lines before the first record
    const int records = static_cast<int>(random() % 6);
    for (int r = 0; r < records; ++r) {
        text += ">rec" + std::to_string(r);
        switch (random() % 4) {
        case 0: text += " some description"; break;
        case 1: text += "\tdescription>with odd\x01 bytes"; break;
        case 2: text += "\r"; break;
        default: break;
        }
        text += '\n';
        const std::size_t length = random() % 5 == 0 ? 0 : random() % 3000;
        std::string positions;
        bool lower = false;
        while (positions.size() < length) {
            const auto roll = random() % 1000;
            if (roll < 8) {
                positions += std::string(1 + random() % 40, 'N');
            } else if (roll < 20) {
                lower = !lower;
            } else if (roll < 40) {
                std::string site = consensus;
                if (random() % 2) {  // the reverse complement
                    std::reverse(site.begin(), site.end());
                    for (char& c : site) c = "TGCA"["ACGT"s.find(c)];
                }
                positions += site;
            } else if (roll < 45) {
                positions += odd[random() % odd.size()];
            } else {
                char base = "ACGT"[random() % 4];
                positions += lower ? static_cast<char>(base + 32) : base;
            }
        }
        positions.resize(length);
        const std::size_t line = random() % 3 == 0 ? length + 1 : 1 + random() % 120;
        const std::string end = random() % 4 == 0 ? "\r\n" : "\n";
        for (std::size_t at = 0; at < length; at += line) {
            std::string piece = positions.substr(at, line);
            if (random() % 20 == 0) piece.insert(random() % (piece.size() + 1), random() % 2 ? " " : "\t");
            text += piece + end;
            if (random() % 50 == 0) text += end;  // an empty line inside a record
        }
    }
    if (!text.empty() && random() % 4 == 0) text.pop_back();  // no final line feed
    return text;
}

motif random_matrix(std::mt19937_64& random, std::size_t width, const std::string& consensus) {
    std::normal_distribution<double> score(-0.5, 1.0);
    motif file;
    file.id = "m" + std::to_string(width);
    for (std::size_t p = 0; p < width; ++p) {
        std::array<double, 4> column;
        for (double& s : column) s = score(random);
        // Favour the consensus base, as a matrix built from sites does.
        if (p < consensus.size()) column["ACGT"s.find(consensus[p])] = 1.2;
        file.scores.push_back(column);
    }
    return file;
}

std::string random_bases(std::mt19937_64& random, std::size_t length) {
    std::string bases;
    for (std::size_t i = 0; i < length; ++i) bases += "ACGT"[random() % 4];
    return bases;
}

TEST(Scan, FastPathAgreesWithPlainPathOnGeneratedFasta) {
    std::mt19937_64 random(8122026);
    int sites = 0;
    for (int round = 0; round < 40; ++round) {
        const std::string consensus = random_bases(random, 12);
        // Widths 1 to 31, and one wider than most records.
        std::vector<std::size_t> widths = {1 + random() % 4, 6 + random() % 8, 12 + random() % 20};
        if (round % 5 == 0) widths.push_back(1000 + random() % 2000);
        std::shuffle(widths.begin(), widths.end(), random);
        threshold wanted;
        switch (round % 4) {
        case 0: wanted = {false, 1e-3}; break;
        case 1: wanted = {false, 0.2}; break;
        case 2: wanted = {true, 4.0}; break;
        default: wanted = {true, -1e9}; break;  // every window of bases
        }
        std::vector<scan_matrix> matrices;
        for (std::size_t w : widths) matrices.push_back(prepare_matrix(random_matrix(random, w, consensus), wanted));
        const std::string fasta = random_fasta(random, consensus);

        scan_settings plain_settings;
        plain_settings.plus = round % 7 != 1;
        plain_settings.minus = round % 7 != 2;
        const std::string expected = plain_scan(fasta, matrices, plain_settings);
        sites += static_cast<int>(std::count(expected.begin(), expected.end(), '\n'));
        // Batches and read blocks from one byte to the whole text, split
        // anywhere: within lines, headers and windows.
        const std::size_t sizes[][2] = {{1, 1}, {7, 3}, {64, 17}, {1 + random() % 5000, 1 + random() % 5000}, {1 << 20, 1 << 20}};
        for (const auto& size : sizes) {
            // Threads on one-byte batches would only test the machine's patience.
            for (const unsigned threads : {1u, size[0] < 64 ? 1u : 3u}) {
                for (const bool vector : {true, false}) {
                    scan_settings settings = plain_settings;
                    settings.batch_bytes = size[0];
                    settings.read_bytes = size[1];
                    settings.threads = threads;
                    settings.vector = vector;
                    SCOPED_TRACE("round " + std::to_string(round) + ", batches of " + std::to_string(size[0]) +
                                 ", blocks of " + std::to_string(size[1]) + ", " + std::to_string(threads) +
                                 " threads, vector " + std::to_string(vector));
                    ASSERT_EQ(fast_scan(fasta, matrices, settings), expected);
                }
            }
        }
    }
    EXPECT_GT(sites, 5000);  // the comparison saw plenty of sites
}

TEST(Scan, FilterPathsAgreeWindowByWindow) {
    if (!vector_paths_available()) GTEST_SKIP() << "no AVX2 here";
    std::mt19937_64 random(42);
    for (int round = 0; round < 200; ++round) {
        const std::size_t width = 1 + random() % 40;
        const scan_matrix m = prepare_matrix(random_matrix(random, width, random_bases(random, width)),
                                             {false, std::pow(10.0, -static_cast<double>(random() % 8))});
        const std::size_t count = 1 + random() % 500;
        std::vector<std::uint8_t> codes(count + width + code_padding, 4);
        for (std::size_t i = 0; i < count + width - 1; ++i) codes[i] = random() % 50 == 0 ? 4 : random() % 4;
        std::vector<std::uint64_t> vector_masks((count + 31) / 32), portable_masks(vector_masks.size());
        filter_windows(m, codes.data(), count, vector_masks.data(), true);
        filter_windows(m, codes.data(), count, portable_masks.data(), false);
        ASSERT_EQ(vector_masks, portable_masks) << "round " << round;

        const std::string bytes = "AcgTNn-x" + std::string(300, 'G') + "acgtACGTryN";
        std::vector<std::uint8_t> vector_codes(bytes.size()), portable_codes(bytes.size());
        encode_bases(bytes.data(), bytes.size(), vector_codes.data(), true);
        encode_bases(bytes.data(), bytes.size(), portable_codes.data(), false);
        ASSERT_EQ(vector_codes, portable_codes);
    }
}

// p-values against all 4^width windows: a window's grid p-value lies between
// the true tail just above and just below its score, by the grid's rounding.
TEST(PValue, AgreesWithBruteForceWithinTheGridsRounding) {
    std::mt19937_64 random(7);
    for (const std::size_t width : {1, 2, 5, 8, 12}) {
        for (int round = 0; round < (width == 12 ? 1 : 4); ++round) {
            const motif file = random_matrix(random, width, "");
            const scan_matrix m = prepare_matrix(file, {true, -1e9});
            EXPECT_DOUBLE_EQ(m.grid.step, 0.001);
            const std::size_t windows = std::size_t{1} << (2 * width);
            std::vector<double> scores(windows);
            for (std::size_t w = 0; w < windows; ++w)
                for (std::size_t p = 0; p < width; ++p) scores[w] += file.scores[p][(w >> (2 * p)) & 3];
            std::vector<double> sorted = scores;
            std::sort(sorted.begin(), sorted.end());
            const auto tail = [&](double s) {  // share of windows scoring at least s
                return static_cast<double>(sorted.end() - std::lower_bound(sorted.begin(), sorted.end(), s)) /
                       static_cast<double>(windows);
            };
            const double slack = 2 * m.grid.rounding + 1e-9;
            for (int sample = 0; sample < 2000; ++sample) {
                const std::size_t w = sample < 4 ? (sample == 0 ? 0 : windows - sample) : random() % windows;
                std::int64_t cell = 0;
                for (std::size_t p = 0; p < width; ++p) cell += m.grid.cells[p][(w >> (2 * p)) & 3];
                const double p = p_value(m.grid, cell);
                ASSERT_LE(p, tail(scores[w] - slack) * (1 + 1e-9)) << "width " << width << ", window " << w;
                ASSERT_GE(p, tail(scores[w] + slack) * (1 - 1e-9)) << "width " << width << ", window " << w;
            }
            // The best window's p-value is exactly its share when it is unique.
            EXPECT_NEAR(p_value(m.grid, m.grid.lowest + static_cast<std::int64_t>(m.grid.tail.size()) - 1),
                        static_cast<double>(std::count(sorted.begin(), sorted.end(), sorted.back())) / windows, 1e-15);
        }
    }
}

// A p-value threshold reports exactly the windows whose p-value is within it.
TEST(PValue, ThresholdsReportExactlyTheWindowsWithin) {
    std::mt19937_64 random(11);
    const std::string bases = random_bases(random, 20000);
    const motif file = random_matrix(random, 8, "TATAAAAG");
    const scan_matrix all = prepare_matrix(file, {false, 1.0});
    for (const double limit : {1.0, 1e-1, 1e-2, 1e-3, 1e-4}) {
        std::size_t within = 0;
        for (std::size_t start = 0; start + 8 <= bases.size(); ++start) {
            std::int64_t plus = 0, minus = 0;
            for (std::size_t p = 0; p < 8; ++p) {
                plus += all.grid.cells[p]["ACGT"s.find(bases[start + p])];
                minus += all.grid.cells[p][3 - "ACGT"s.find(bases[start + 7 - p])];
            }
            within += (p_value(all.grid, plus) <= limit) + (p_value(all.grid, minus) <= limit);
        }
        const std::string found = fast_scan(">r\n" + bases + "\n", {prepare_matrix(file, {false, limit})}, {});
        EXPECT_EQ(static_cast<std::size_t>(std::count(found.begin(), found.end(), '\n')), within) << limit;
    }
}

// A large grid: scores spread so widely that the step widens, and the
// widest matrix; the distribution still sums to 1 and falls from 1.
TEST(PValue, WideSpreadsAndWidthsGetACoarserGrid) {
    std::mt19937_64 random(3);
    for (const std::size_t width : {30, 1000}) {
        motif file = random_matrix(random, width, "");
        file.scores[0][1] = -5000;  // a spread no 0.001 grid can hold
        const scan_matrix m = prepare_matrix(file, {true, -1e12});
        EXPECT_GT(m.grid.step, 0.001);
        EXPECT_LE(m.grid.tail.size(), (std::size_t{1} << 21) + width + 1);
        EXPECT_NEAR(m.grid.tail.front(), 1.0, 1e-9);
        EXPECT_TRUE(std::is_sorted(m.grid.tail.rbegin(), m.grid.tail.rend()));
    }
}

}  // namespace
