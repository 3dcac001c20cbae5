// The numbers that make the logo, the SVG that draws them, and the picture
// a real renderer makes of it; then motif_logo as a user runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "helpers.h"
#include "logo.h"
#include "motif.h"
#include "png.h"
#include "run_command.h"

namespace {

const std::string logo = MOTIF_LOGO_EXE;
const std::string examples = EXAMPLES_DIR;

// Letter heights straight from base counts: f = (count + 0.25) / (N + 1)
// normalised, as a logo tool would compute them from the sites.
std::array<double, 4> heights_from_counts(std::array<double, 4> counts, double sites) {
    double sum = 0, entropy = 0;
    for (double& c : counts) sum += c = (c + 0.25) / (sites + 1);
    for (double& c : counts) {
        c /= sum;
        entropy -= c * std::log2(c);
    }
    for (double& c : counts) c *= 2 - entropy;
    return counts;
}

// The TATA-box example's matrix, made by motif_matrix from the shipped sites.
std::string tata_matrix_text() {
    scratch_dir dir;
    write_file(dir / "tata_box.sites", read_file(examples + "/tata_box.sites"));
    const command_result made = run_command({MOTIF_MATRIX_EXE}, "1 " + dir / "tata_box.sites" + "\n");
    EXPECT_EQ(made.status, 0) << made.err;
    return read_file(dir / "tata_box.sites.matrix");
}

motif read_matrix(const std::string& text) {
    scratch_dir dir;
    write_file(dir / "m.matrix", text);
    std::vector<motif> read;
    std::string error;
    EXPECT_TRUE(read_motif_file(dir / "m.matrix", {}, read, error)) << error;
    return read.empty() ? motif{} : read[0];
}

// Each letter drawn: its colour, left and bottom, and height in pixels.
struct drawn_letter {
    std::string colour;
    double x, bottom, height;
};

std::vector<drawn_letter> letters_in(const std::string& svg) {
    std::vector<drawn_letter> found;
    const std::string start = "<g fill=\"#";
    for (std::size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at + 1)) {
        char colour[8] = {};
        double x, bottom, width, height;
        if (std::sscanf(svg.c_str() + at,
                        "<g fill=\"#%6[0-9a-f]\" fill-rule=\"evenodd\" transform=\"translate(%lf %lf) scale(%lf %lf)\">",
                        colour, &x, &bottom, &width, &height) == 5)
            found.push_back({std::string("#") + colour, x, bottom, -100 * height});
    }
    return found;
}

TEST(Logo, StacksOfKnownColumns) {
    // One base: two bits, all of it that base's.
    logo_stack one = stack_of({std::log(4.0), -800, -800, -800});
    EXPECT_NEAR(one.information, 2, 1e-12);
    EXPECT_NEAR(one.height[0], 2, 1e-12);
    EXPECT_EQ(one.bottom_up[3], 0);
    // Uniform, whatever the common score: nothing to draw.
    for (const double s : {0.0, -3.2, 700.0}) {
        const logo_stack flat = stack_of({s, s, s, s});
        EXPECT_NEAR(flat.information, 0, 1e-12);
        for (const double h : flat.height) EXPECT_NEAR(h, 0, 1e-12);
    }
    // The three sites ACGT, acga and ACTT, against heights from their counts.
    const motif three = read_matrix(three_sites_matrix);
    const std::array<double, 4> counts[4] = {{3, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 2, 1}, {1, 0, 0, 2}};
    for (std::size_t p = 0; p < 4; ++p) {
        const logo_stack stack = stack_of(three.scores[p]);
        const std::array<double, 4> expected = heights_from_counts(counts[p], 3);
        for (int b = 0; b < 4; ++b) EXPECT_NEAR(stack.height[b], expected[b], 2e-6) << p << " " << b;
    }
    // Tallest on top, ties in base order: G over T over A and C at position 3.
    EXPECT_EQ(stack_of(three.scores[2]).bottom_up, (std::array<int, 4>{0, 1, 3, 2}));
    EXPECT_NEAR(stack_of(three.scores[0]).information, 1.0066, 1e-4);
    // A site without a base at a position: the probabilities are normalised.
    const logo_stack short_of_one = stack_of({std::log(4 * 2.25 / 4), std::log(4 * 0.25 / 4), std::log(4 * 0.25 / 4),
                                              std::log(4 * 0.25 / 4)});
    EXPECT_NEAR(short_of_one.probability[0], 0.75, 1e-12);
}

TEST(Logo, DrawsEachLetterAtItsHeightStackedTallestOnTop) {
    const motif three = read_matrix(three_sites_matrix);
    const std::string svg = logo_svg(three.scores, "three & <sites>");
    EXPECT_NE(svg.find("<title>three &amp; &lt;sites&gt;</title>"), std::string::npos);
    EXPECT_NE(svg.find("viewBox=\"0 0 210 290\""), std::string::npos);
    const std::vector<drawn_letter> letters = letters_in(svg);
    ASSERT_EQ(letters.size(), 16u);
    const char* colours[4] = {"#00a000", "#0000c0", "#ffa500", "#d00000"};
    for (std::size_t p = 0; p < 4; ++p) {
        const logo_stack stack = stack_of(three.scores[p]);
        double bottom = top_margin + 2 * pixels_per_bit;
        for (std::size_t k = 0; k < 4; ++k) {
            const drawn_letter& letter = letters[4 * p + k];
            const int b = stack.bottom_up[k];
            EXPECT_EQ(letter.colour, colours[b]);
            EXPECT_NEAR(letter.height, stack.height[b] * pixels_per_bit, 1e-4);
            EXPECT_NEAR(letter.bottom, bottom, 1e-3);
            EXPECT_NEAR(letter.x, left_margin + stack_width * p + 1, 1e-9);
            bottom -= letter.height;
        }
    }
}

// The picture through a real renderer: valid XML, rendered without errors,
// and each stack's coloured height within a few pixels of its information.
TEST(Logo, RendersWithEachStackAsTallAsItsInformation) {
    if (std::system("command -v rsvg-convert >/dev/null && command -v xmllint >/dev/null") != 0)
        GTEST_SKIP() << "needs rsvg-convert and xmllint (Debian librsvg2-bin, libxml2-utils; .ci/run installs them)";
    scratch_dir dir;
    const motif tata = read_matrix(tata_matrix_text());
    write_file(dir / "tata.svg", logo_svg(tata.scores, "tata"));
    const command_result xml = run_command({"/usr/bin/xmllint", "--noout", dir / "tata.svg"});
    EXPECT_EQ(xml.status, 0) << xml.err;
    const command_result render = run_command({"/usr/bin/rsvg-convert", "-o", dir / "tata.png", dir / "tata.svg"});
    ASSERT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(render.err, "");
    rgba_image image;
    ASSERT_TRUE(read_png(read_file(dir / "tata.png"), image));
    ASSERT_EQ(image.width, static_cast<std::size_t>(left_margin + stack_width * 12 + right_margin));
    const auto coloured = [&](std::size_t x, std::size_t y) {
        const std::uint8_t* px = image.at(x, y);
        return px[3] > 128 && (std::max({px[0], px[1], px[2]}) - std::min({px[0], px[1], px[2]}) > 60);
    };
    const double baseline = top_margin + 2 * pixels_per_bit;
    for (std::size_t p = 0; p < 12; ++p) {
        std::size_t top = static_cast<std::size_t>(baseline);
        for (std::size_t y = static_cast<std::size_t>(top_margin) - 2; y < baseline && top == static_cast<std::size_t>(baseline); ++y)
            for (std::size_t x = static_cast<std::size_t>(left_margin + stack_width * p); x < left_margin + stack_width * (p + 1); ++x)
                if (coloured(x, y)) top = y;
        EXPECT_NEAR(baseline - static_cast<double>(top), stack_of(tata.scores[p]).information * pixels_per_bit, 3)
            << "position " << p + 1;
    }
}

// The README and the guides in doc/ show the logos in examples/: they must be what the programs make now.
TEST(LogoRun, TheShippedExampleLogoIsCurrent) {
    scratch_dir dir;
    write_file(dir / "tata_box.sites.matrix", tata_matrix_text());
    const command_result drawn = run_command({logo, dir / "tata_box.sites.matrix"});
    EXPECT_EQ(drawn.status, 0);
    EXPECT_EQ(drawn.out, read_file(examples + "/tata_box.sites.svg"))
        << "remake it: build/motif_logo -o examples/tata_box.sites.svg examples/tata_box.sites.matrix";
    EXPECT_EQ(run_command({logo, "--motif", "CCAAT-box", examples + "/promoter_motifs.meme"}).out,
              read_file(examples + "/CCAAT-box.svg"))
        << "remake it: build/motif_logo --motif CCAAT-box -o examples/CCAAT-box.svg examples/promoter_motifs.meme";
}

TEST(LogoRun, WritesTheLogoWholeOrNotAtAll) {
    scratch_dir dir;
    write_file(dir / "three.sites.matrix", three_sites_matrix);
    const command_result shown = run_command({logo, dir / "three.sites.matrix"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.err, "");
    EXPECT_EQ(shown.out, logo_svg(read_matrix(three_sites_matrix).scores, "three.sites"));
    const command_result titled = run_command({logo, "--title", "Three sites", "-o", dir / "out.svg", dir / "three.sites.matrix"});
    EXPECT_EQ(titled.status, 0);
    EXPECT_EQ(titled.out, "");
    EXPECT_EQ(read_file(dir / "out.svg"), logo_svg(read_matrix(three_sites_matrix).scores, "Three sites"));
    struct stat file;
    ASSERT_EQ(::stat((dir / "out.svg").c_str(), &file), 0);
    EXPECT_NE(file.st_mode & 0044, 0u);  // as readable as any new file, not private

    // A failed run leaves what was there, and no temporary file.
    write_file(dir / "bad.matrix", "A|1|\nC|x|\nG|1|\nT|1|\n");
    EXPECT_EQ(run_command({logo, "-o", dir / "out.svg", dir / "bad.matrix"}).status, 1);
    EXPECT_EQ(read_file(dir / "out.svg"), logo_svg(read_matrix(three_sites_matrix).scores, "Three sites"));
    const command_result nowhere = run_command({logo, "-o", dir / "no_folder/out.svg", dir / "three.sites.matrix"});
    EXPECT_EQ(nowhere.err, "motif_logo: " + dir / "no_folder/out.svg: No such file or directory\n");
    EXPECT_EQ(nowhere.status, 1);
    const command_result full = run_command({logo, dir / "three.sites.matrix"}, "", "/dev/full");
    EXPECT_EQ(full.err, "motif_logo: standard output: No space left on device\n");
    EXPECT_EQ(full.status, 1);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path)) ++files;
    EXPECT_EQ(files, 3u);

    // A thousand positions: the drawing grows to the right.
    std::string wide;
    for (const char b : {'A', 'C', 'G', 'T'}) {
        wide += std::string(1, b) + "|";
        for (int p = 0; p < 1000; ++p) wide += b == "ACGT"[p % 4] ? "1.3|" : "-1.4|";
        wide += "\n";
    }
    write_file(dir / "wide.matrix", wide);
    const command_result thousand = run_command({logo, dir / "wide.matrix"});
    EXPECT_EQ(thousand.status, 0);
    EXPECT_EQ(letters_in(thousand.out).size(), 4000u);
    EXPECT_NE(thousand.out.find("viewBox=\"0 0 30090 290\""), std::string::npos);
}

// A file of several motifs: one picked by --motif, or each into a folder,
// every logo the same as drawn from the motif's own numbers.
TEST(LogoRun, DrawsOneMotifOfAFileOrEach) {
    scratch_dir dir;
    const std::string meme =
        "MEME version 4\n\nALPHABET= ACGT\n\nMOTIF one first/motif\nletter-probability matrix: alength= 4 w= 3 nsites= 8\n"
        "0.75 0.125 0.125 0\n0 0 1 0\n0.5 0 0 0.5\n\nMOTIF two\nletter-probability matrix: alength= 4 w= 2\n"
        "0 1 0 0\n0.25 0.25 0.25 0.25\n";
    write_file(dir / "motifs.meme", meme);
    std::vector<motif> motifs;
    std::string error;
    ASSERT_TRUE(read_motif_file(dir / "motifs.meme", {}, motifs, error)) << error;
    ASSERT_EQ(motifs.size(), 2u);
    EXPECT_EQ(motifs[0].id, "one_first_motif");

    const command_result picked = run_command({logo, "--motif", "two", dir / "motifs.meme"});
    EXPECT_EQ(picked.status, 0) << picked.err;
    EXPECT_EQ(picked.out, logo_svg(motifs[1].scores, "two"));
    // By identifier, or by a name as the file gives it.
    EXPECT_EQ(run_command({logo, "--motif", "one_first_motif", dir / "motifs.meme"}).out, logo_svg(motifs[0].scores, "one_first_motif"));
    EXPECT_EQ(run_command({logo, "--motif", "first/motif", dir / "motifs.meme"}).out, logo_svg(motifs[0].scores, "one_first_motif"));
    // --sites changes probabilities without nsites only.
    std::vector<motif> eight;
    motif_reading how;
    how.sites = 8;
    ASSERT_TRUE(read_motif_file(dir / "motifs.meme", how, eight, error)) << error;
    EXPECT_EQ(run_command({logo, "--sites", "8", "--motif", "two", dir / "motifs.meme"}).out, logo_svg(eight[1].scores, "two"));
    EXPECT_NE(eight[1].scores, motifs[1].scores);

    const command_result each = run_command({logo, "--out-dir", dir / "logos", dir / "motifs.meme"});
    EXPECT_EQ(each.status, 0) << each.err;
    EXPECT_EQ(each.out, "");
    EXPECT_EQ(read_file(dir / "logos/one_first_motif.svg"), logo_svg(motifs[0].scores, "one_first_motif"));
    EXPECT_EQ(read_file(dir / "logos/two.svg"), logo_svg(motifs[1].scores, "two"));
    // Into a folder that is there already, the motifs picked.
    std::filesystem::remove(dir / "logos/two.svg");
    EXPECT_EQ(run_command({logo, "--out-dir", dir / "logos", "--motif", "one", dir / "motifs.meme"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "logos/two.svg"));
    const command_result nowhere = run_command({logo, "--out-dir", dir / "no/folder", dir / "motifs.meme"});
    EXPECT_EQ(nowhere.err, "motif_logo: " + dir / "no/folder" + ": No such file or directory\n");
    EXPECT_EQ(nowhere.status, 1);
}

TEST(LogoRun, ErrorsAndUsage) {
    scratch_dir dir;
    write_file(dir / "bad.matrix", "A|1|\nC|1|\nG|1|2|\nT|1|\n");
    write_file(dir / "empty.matrix", "\n\n\n\n");
    write_file(dir / "good.matrix", three_sites_matrix);
    write_file(dir / "three.jaspar", ">a shared\nA [1]\nC [1]\nG [1]\nT [1]\n>b shared\nA [1]\nC [1]\nG [1]\nT [1]\n"
                                     ">c\nA [1]\nC [1]\nG [1]\nT [1]\n");
    std::string wide;
    for (const char b : {'A', 'C', 'G', 'T'}) wide += std::string(1, b) + "|" + [] {
        std::string fields;
        for (int p = 0; p < 10001; ++p) fields += "0|";
        return fields;
    }() + "\n";
    write_file(dir / "wide.matrix", wide);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string error;
    } cases[] = {
        {{dir / "missing.matrix"}, 1, dir / "missing.matrix: No such file or directory"},
        {{dir / "bad.matrix"}, 1, dir / "bad.matrix: line 3: more positions than line 1's 1"},
        {{dir / "empty.matrix"}, 1, dir / "empty.matrix: no motif in the file"},
        {{dir / "wide.matrix"}, 1,
         dir / "wide.matrix: line 1: more than 10000 positions"},
        {{}, 2, "no motif file given (try 'motif_logo --help')"},
        {{dir / "good.matrix", dir / "good.matrix"}, 2, "one motif file at a time, not 2 (try 'motif_logo --help')"},
        {{dir / "three.jaspar"}, 2,
         dir / "three.jaspar holds 3 motifs: pick one with --motif ID, or draw each with --out-dir DIR (try 'motif_logo --help')"},
        {{"--motif", "zz", dir / "three.jaspar"}, 1, "no motif named 'zz' in " + dir / "three.jaspar"},
        {{"--motif", "shared", dir / "three.jaspar"}, 1,
         "2 motifs match --motif in " + dir / "three.jaspar" + " (a_shared, b_shared): pick one by its identifier"},
        {{"-o", dir / "x.svg", "--out-dir", dir.path, dir / "three.jaspar"}, 2,
         "options -o and --out-dir exclude each other (try 'motif_logo --help')"},
        {{"--title", "t", "--out-dir", dir.path, dir / "three.jaspar"}, 2,
         "option --title names one logo, not those of --out-dir (try 'motif_logo --help')"},
        {{"--format", "pfm", dir / "three.jaspar"}, 2,
         "option --format: 'pfm' is not matrix, jaspar, meme, transfac or homer (try 'motif_logo --help')"},
        {{"--sites", "0", dir / "three.jaspar"}, 2, "option --sites: '0' is not a count above 0 (try 'motif_logo --help')"},
        {{"-o"}, 2, "option -o needs a value (try 'motif_logo --help')"},
        {{"-o", "", dir / "good.matrix"}, 2, "option -o: the file name is empty (try 'motif_logo --help')"},
        {{"-x", dir / "good.matrix"}, 2, "unknown option -x (try 'motif_logo --help')"},
        {{"--colour", dir / "good.matrix"}, 2, "unknown option --colour (try 'motif_logo --help')"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {logo};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const command_result r = run_command(args);
        EXPECT_EQ(r.err, "motif_logo: " + c.error + "\n");
        EXPECT_EQ(r.status, c.status) << c.error;
        EXPECT_EQ(r.out, "");
    }
    const command_result help = run_command({logo, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: motif_logo [-o OUT.svg] [--title TEXT] [--motif ID] MOTIFS", 0), 0u);
    EXPECT_EQ(run_command({logo, "--version"}).out, std::string("motif_logo ") + MOTIF_VERSION + "\n");
}

}  // namespace
