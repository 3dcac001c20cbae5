// motif_compare run as a user would: every motif of a database first
// matches itself, its reverse complement and its slices match it where they
// came from, the options pick and limit, the same lines for any thread
// count, every error path, and a report page whose logos line up as
// reported and that a real browser draws.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "helpers.h"
#include "report_page.h"
#include "run_command.h"

namespace {

const std::string compare = MOTIF_COMPARE_EXE;
const std::string examples = EXAMPLES_DIR;

std::vector<std::vector<std::string>> rows(const std::string& table) {
    std::vector<std::vector<std::string>> all;
    for (std::size_t at = 0; at < table.size();) {
        const std::size_t end = table.find('\n', at);
        std::vector<std::string> fields;
        for (std::size_t f = at; f <= end;) {
            const std::size_t stop = std::min(table.find('\t', f), end);
            fields.push_back(table.substr(f, stop - f));
            f = stop + 1;
        }
        all.push_back(fields);
        at = end + 1;
    }
    return all;
}

// A JASPAR motif's counts: rows A, C, G, T.
struct counted {
    std::string id;
    std::vector<std::vector<double>> rows;
    std::size_t width() const { return rows[0].size(); }
    std::string text() const {
        std::string out = ">" + id + "\n";
        for (int b = 0; b < 4; ++b) {
            out += std::string(1, "ACGT"[b]) + " [";
            for (const double c : rows[b]) out += " " + std::to_string(c);
            out += " ]\n";
        }
        return out;
    }
};

class CompareRun : public testing::Test {
  protected:
    scratch_dir dir;
    std::vector<counted> database;
    std::string db() const { return dir / "db.jaspar"; }
    // The first 80 motifs of the JASPAR example (40 in a sanitizer's build,
    // whose runs each compare all pairs, some eight times over).
    void SetUp() override {
        const std::string text = read_file(examples + "/jaspar2022_core_vertebrates.jaspar");
        std::string kept;
        const std::size_t motifs = sized(80, 40);
        for (std::size_t at = text.find('>'); at != std::string::npos && database.size() < motifs; at = text.find('>', at + 1)) {
            const std::size_t end = text.find('>', at + 1);
            const std::string block = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            counted m;
            m.id = block.substr(1, block.find_first_of("\t \n") - 1);
            for (std::size_t line = block.find('[') - 1; line != std::string::npos && m.rows.size() < 4; line = block.find('[', line + 2) - 1) {
                std::vector<double> row;
                const std::size_t close = block.find(']', line);
                std::istringstream numbers(block.substr(line + 2, close - line - 2));
                for (double c; numbers >> c;) row.push_back(c);
                m.rows.push_back(row);
            }
            kept += block;
            database.push_back(m);
        }
        write_file(db(), kept);
    }
    command_result run(std::vector<std::string> args, const std::string& input = "") const {
        args.insert(args.begin(), compare);
        return run_command(args, input);
    }
};

TEST_F(CompareRun, EachMotifMatchesItselfFirstAndItsReverseAndSlicesWhereTheyCameFrom) {
    const command_result self = run({"--top", "1", db()});
    ASSERT_EQ(self.status, 0) << self.err;
    const auto lines = rows(self.out);
    ASSERT_EQ(lines.size(), database.size() + 1);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"query", "target", "offset", "orientation", "overlap", "p", "E", "q",
                                                 "query_consensus", "target_consensus"}));
    for (std::size_t i = 0; i < database.size(); ++i) {
        const auto& line = lines[i + 1];
        EXPECT_EQ(line[0].substr(0, line[0].find('_')), database[i].id);
        EXPECT_EQ(line[1], line[0]);
        EXPECT_EQ(line[2], "0");
        EXPECT_EQ(line[3], "+");
        EXPECT_EQ(line[4], std::to_string(database[i].width()));
        EXPECT_EQ(line[8], line[9]);
    }
    // Reverse complements and slices of every tenth motif.
    std::string queries;
    std::map<std::string, std::vector<std::string>> expected;  // query -> target, offset, orientation, overlap
    for (std::size_t i = 0; i < database.size(); i += 10) {
        const counted& m = database[i];
        counted reverse{"rc" + std::to_string(i), {{}, {}, {}, {}}};
        for (int b = 0; b < 4; ++b) reverse.rows[b].assign(m.rows[3 - b].rbegin(), m.rows[3 - b].rend());
        queries += reverse.text();
        expected[reverse.id] = {m.id, "0", "-", std::to_string(m.width())};
        const std::size_t from = i % 3, width = std::max<std::size_t>(5, m.width() - from - 1);
        if (from + width > m.width()) continue;
        counted slice{"slice" + std::to_string(i), {}};
        for (int b = 0; b < 4; ++b) slice.rows.emplace_back(m.rows[b].begin() + from, m.rows[b].begin() + from + width);
        queries += slice.text();
        expected[slice.id] = {m.id, std::to_string(from), "+", std::to_string(width)};
    }
    write_file(dir / "queries.jaspar", queries);
    const command_result found = run({"--top", "1", dir / "queries.jaspar", db()});
    ASSERT_EQ(found.status, 0) << found.err;
    const auto best = rows(found.out);
    ASSERT_EQ(best.size(), expected.size() + 1);
    for (std::size_t i = 1; i < best.size(); ++i) {
        const std::vector<std::string>& want = expected.at(best[i][0]);
        EXPECT_EQ(best[i][1].substr(0, best[i][1].find('_')), want[0]) << best[i][0];
        EXPECT_EQ((std::vector<std::string>{best[i][2], best[i][3], best[i][4]}), (std::vector<std::string>(want.begin() + 1, want.end())))
            << best[i][0];
    }
}

TEST_F(CompareRun, OptionsPickAndLimitTheSameLinesForAnyThreads) {
    const command_result all = run({"-j", "1", db()});
    ASSERT_EQ(all.status, 0) << all.err;
    for (const char* threads : {"2", "3"}) EXPECT_EQ(run({"-j", threads, db()}).out, all.out) << threads;
    // The same database given as targets too, or read from standard input.
    EXPECT_EQ(run({db(), db()}).out, all.out);
    EXPECT_EQ(run({"-", db()}, read_file(db())).out, all.out);
    const auto lines = rows(all.out);
    std::map<std::string, std::vector<std::vector<std::string>>> by_query;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        by_query[lines[i][0]].push_back(lines[i]);
        EXPECT_LE(std::stod(lines[i][7]), 0.5);
    }
    // --motif picks queries, the targets stay the whole file; --top and
    // --max-q keep each query's first lines.
    const std::string pick = lines[1][0];
    const auto picked = rows(run({"--motif", pick.substr(0, pick.find('_')), db()}).out);
    ASSERT_EQ(picked.size(), by_query[pick].size() + 1);
    for (std::size_t i = 1; i < picked.size(); ++i) EXPECT_EQ(picked[i], by_query[pick][i - 1]);
    const auto top = rows(run({"--top", "2", db()}).out);
    const auto strict = rows(run({"--max-q", "1e-6", db()}).out);
    std::map<std::string, std::size_t> top_count, strict_count;
    for (std::size_t i = 1; i < top.size(); ++i) ++top_count[top[i][0]];
    for (std::size_t i = 1; i < strict.size(); ++i) {
        ++strict_count[strict[i][0]];
        EXPECT_LE(std::stod(strict[i][7]), 1e-6);
    }
    for (const auto& [query, matches] : by_query) {
        EXPECT_EQ(top_count[query], std::min<std::size_t>(2, matches.size())) << query;
        std::size_t within = 0;
        while (within < matches.size() && std::stod(matches[within][7]) <= 1e-6) ++within;
        EXPECT_EQ(strict_count[query], within) << query;
    }
}

TEST_F(CompareRun, ErrorsAndUsage) {
    write_file(dir / "empty", "");
    std::string ones;  // 101 positions: one more than are compared
    for (int i = 0; i < 101; ++i) ones += " 1";
    write_file(dir / "wide.jaspar", ">wide\nA [" + ones + " ]\nC [" + ones + " ]\nG [" + ones + " ]\nT [" + ones + " ]\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string error;
    } cases[] = {
        {{dir / "missing.meme"}, 1, dir / "missing.meme: No such file or directory"},
        {{db(), dir / "empty"}, 1, dir / "empty: no motif in the file"},
        {{dir / "wide.jaspar"}, 1, dir / "wide.jaspar: line 1: more than 100 positions"},
        {{"--motif", "MA9999.9", db()}, 1, "no motif named 'MA9999.9' in " + db()},
        {{"--html", dir / "no/folder/r.html", db()}, 1, dir / "no/folder/r.html: No such file or directory"},
        {{}, 2, "no motif file given (try 'motif_compare --help')"},
        {{db(), db(), db()}, 2, "a query file and at most one target file, not 3 files (try 'motif_compare --help')"},
        {{"-", "-"}, 2, "standard input can hold only one of the files (try 'motif_compare --help')"},
        {{"--max-q", "0", db()}, 2, "option --max-q: '0' is not a q-value in (0, 1] (try 'motif_compare --help')"},
        {{"--max-q", "x", db()}, 2, "option --max-q: 'x' is not a number (try 'motif_compare --help')"},
        {{"--top", "0", db()}, 2, "option --top: '0' is not a whole number of at least 1 (try 'motif_compare --help')"},
        {{"--min-overlap", "-1", db()}, 2,
         "option --min-overlap: '-1' is negative (try 'motif_compare --help')"},
        {{"--format", "fasta", db()}, 2,
         "option --format: 'fasta' is not matrix, jaspar, meme, transfac or homer (try 'motif_compare --help')"},
        {{"-j", "0", db()}, 2, "option -j: '0' is not a whole number of at least 1 (try 'motif_compare --help')"},
        {{"--bogus", db()}, 2, "unknown option --bogus (try 'motif_compare --help')"},
        {{db(), "--top"}, 2, "option --top needs a value (try 'motif_compare --help')"},
    };
    for (const auto& c : cases) {
        const command_result r = run(c.args);
        EXPECT_EQ(r.err, "motif_compare: " + c.error + "\n");
        EXPECT_EQ(r.status, c.status) << c.error;
        EXPECT_EQ(r.out, "");
    }
    const command_result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: motif_compare [options] QUERIES [TARGETS]", 0), 0u);
    EXPECT_EQ(run({"--version"}).out, std::string("motif_compare ") + MOTIF_VERSION + "\n");
    const command_result full = run_command({compare, db()}, "", "/dev/full");
    EXPECT_EQ(full.err, "motif_compare: standard output: No space left on device\n");
    EXPECT_EQ(full.status, 1);
}

// The x of an SVG logo's first stack, and its width.
double first_stack_x(const std::string& svg) {
    const std::size_t at = svg.find("transform=\"translate(", svg.find("fill-rule"));
    return std::stod(svg.substr(at + 21));
}
double svg_width(const std::string& svg) { return std::stod(svg.substr(svg.find("width=\"") + 7)); }

TEST_F(CompareRun, TheReportLinesTheLogosUpAsReported) {
    const command_result r = run({"--top", "5", "--html", dir / "report.html", examples + "/promoter_motifs.meme",
                                  examples + "/jaspar2022_core_vertebrates.jaspar"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = rows(r.out);
    const std::string page = read_file(dir / "report.html");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // Each match's pair of logos: one canvas wide, the target's first stack
    // `offset` columns left of the query's (30 pixels a column).
    std::vector<std::string> images;
    for (std::size_t at = page.find("base64,"); at != std::string::npos; at = page.find("base64,", at + 1))
        images.push_back(from_base64(page.substr(at + 7, page.find('"', at) - at - 7)));
    std::size_t pairs = 0, reversed = 0;
    for (std::size_t i = 1, image = 0; i < lines.size(); ++i) {
        reversed += lines[i][3] == "-";
        if (i == 1 || lines[i][0] != lines[i - 1][0]) ++image;  // the query's own logo
        const std::string& query = images.at(image++);
        const std::string& target = images.at(image++);
        EXPECT_NE(query.find("<title>" + lines[i][0] + "</title>"), std::string::npos);
        EXPECT_NE(target.find("<title>" + lines[i][1] + (lines[i][3] == "-" ? " (reverse complement)" : "") + "</title>"),
                  std::string::npos);
        EXPECT_EQ(svg_width(query), svg_width(target)) << lines[i][1];
        EXPECT_NEAR(first_stack_x(query) - first_stack_x(target), 30 * std::stod(lines[i][2]), 1e-6) << lines[i][1];
        ++pairs;
    }
    EXPECT_EQ(pairs, 8u);  // TATA-box 3, CCAAT-box 5
    EXPECT_GT(reversed, 0u);

    expect_valid_html(dir / "report.html");
    expect_rendered_logos(dir, "1200,1400");
}

}  // namespace
