// The fast counting path against the plain one on generated motif files, and
// large files, read in parts on all cores, against the same bytes counted whole.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "count_paths.h"
#include "helpers.h"

namespace {

// Random motif text: headers of any length, sequence lines of a common width
// or not, empty lines, CRLF, any byte value, and sometimes no final line feed.
std::string random_motif(std::mt19937_64& random, std::size_t lines, std::size_t long_length) {
    static const std::string bytes("ACGTacgtACGTNn-> \r\0\x80\xff\x7f", 21);
    const std::size_t width = 1 + random() % 40;
    std::string text;
    auto add_bytes = [&](std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            const auto any = static_cast<char>(random() % 256);
            text += random() % 8 == 0 && any != '\n' ? any : bytes[random() % bytes.size()];
        }
    };
    for (std::size_t line = 0; line < lines; ++line) {
        switch (random() % 16) {
        case 0: text += '>'; add_bytes(random() % 40); break;
        case 1: text += '>'; add_bytes(random() % 4 == 0 ? long_length : 0); break;
        case 2: break;  // an empty line
        case 3: add_bytes(random() % 4 == 0 ? long_length : random() % 100); break;
        default: add_bytes(width);
        }
        text += random() % 10 == 0 ? "\r\n" : "\n";
    }
    if (random() % 2) add_bytes(random() % 30);  // a last line without a line feed
    return text;
}

void expect_same_counts(motif_counts fast, motif_counts plain) {
    EXPECT_EQ(fast.too_long, plain.too_long);
    EXPECT_EQ(fast.n, plain.n);
    EXPECT_EQ(fast.width, plain.width);
    // The paths may reserve different numbers of positions; the rest are zero.
    const std::size_t cells = std::max(fast.counts.size(), plain.counts.size());
    fast.counts.resize(cells);
    plain.counts.resize(cells);
    EXPECT_EQ(fast.counts, plain.counts);
}

TEST(FastCount, AgreesWithPlainCountOnGeneratedFiles) {
    std::mt19937_64 random(20261208);
    for (int file = 0; file < sized(300, 100); ++file) {
        const std::string text = random_motif(random, 1 + random() % 600, file % 10 == 0 ? 70000 : 120);
        const motif_counts plain = count_with(count_path::plain, text, text.size() + 1);
        // Blocks shorter and longer than a vector, and the whole text at once.
        for (std::size_t piece : {std::size_t{1}, std::size_t{15}, std::size_t{17}, 1 + random() % 5000, text.size() + 1}) {
            SCOPED_TRACE("file " + std::to_string(file) + ", blocks of " + std::to_string(piece));
            expect_same_counts(count_with(count_path::fast, text, piece), plain);
        }
    }
}

TEST(FastCount, AgreesOnOneHugeLine) {
    std::mt19937_64 random(7);
    std::string text = ">one site\n";
    for (int i = 0; i < 1000000; ++i) text += "ACGTNacgt\x80"[random() % 10];
    for (const std::string& tail : {std::string("\n"), std::string("\nACGT\n"), std::string()}) {
        const std::string whole = text + tail;
        expect_same_counts(count_with(count_path::fast, whole, 1 << 18), count_with(count_path::plain, whole, 1 << 18));
    }
}

motif_counts read_file_in_parts(const std::string& path, std::int64_t part_size = default_part_size) {
    motif_counts motif;
    const int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_TRUE(read_motif(fd, path, motif, part_size));
    ::close(fd);
    return motif;
}

TEST(ReadMotif, LargeFileCountsAsIfReadWhole) {
    scratch_dir dir;
    std::mt19937_64 random(3);
    std::string text;
    while (text.size() < (std::size_t{6} << 20)) text += random_motif(random, 1000, 300000) + '\n';
    text += "ACG\n>last header";
    write_file(dir / "sites", text);
    expect_same_counts(read_file_in_parts(dir / "sites"), count_with(count_path::plain, text, text.size() + 1));
}

// Small files read in parts of a few bytes: cuts fall inside headers, long
// lines and at the very end.
TEST(ReadMotif, SmallPartsCountAsIfReadWhole) {
    scratch_dir dir;
    std::mt19937_64 random(9);
    for (int file = 0; file < 100; ++file) {
        const std::string text = random_motif(random, 1 + random() % 40, 200);
        write_file(dir / "sites", text);
        for (const std::int64_t part_size : {1, 7, 64}) {
            SCOPED_TRACE("file " + std::to_string(file) + ", parts of " + std::to_string(part_size));
            expect_same_counts(read_file_in_parts(dir / "sites", part_size), count_with(count_path::plain, text, text.size() + 1));
        }
    }
}

TEST(ReadMotif, WidthComesFromEarlierPartWhenLaterOnesHaveOnlyHeaders) {
    scratch_dir dir;
    std::string text;
    while (text.size() < (std::size_t{3} << 20)) text += ">site\nACGTACG\n";
    while (text.size() < (std::size_t{6} << 20)) text += ">header only\n";
    write_file(dir / "sites", text);
    const motif_counts motif = read_file_in_parts(dir / "sites");
    EXPECT_EQ(motif.width, 7u);
    expect_same_counts(motif, count_with(count_path::plain, text, text.size() + 1));
}

}  // namespace
