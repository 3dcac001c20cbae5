// motif_peaks: the whole motif analysis of a peak set in one run, on targets
// and controls drawn once: the known motifs enriched, new motifs found and
// named by the known ones they resemble, whether each is central to the
// summits, the sites, and one report page.
#include <getopt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "centrality.h"
#include "comparing.h"
#include "control_options.h"
#include "controls.h"
#include "discover.h"
#include "discovery_report.h"
#include "known_enrichment.h"
#include "output.h"
#include "parallel_for.h"
#include "peaks_report.h"
#include "progress.h"
#include "region_records.h"
#include "report.h"
#include "scan_input.h"
#include "scan_options.h"
#include "search_options.h"
#include "shipped_motifs.h"
#include "sites.h"
#include "summary.h"
#include "write_all.h"

namespace {

const char* const program = "motif_peaks";

// A known motif of q at most this is enriched here: a new motif that
// matches it (q at most this too) says so.
constexpr double enriched_q = 0.05;

const std::string usage = std::string(
                              "Usage: motif_peaks [options] -o OUTDIR --regions PEAKS --genome GENOME.fa\n"
                              "       motif_peaks [options] -o OUTDIR TARGETS.fa [CONTROL.fa]\n"
                              "       motif_peaks --summary [-m FILE]... [--html FILE] OUTDIR...\n"
                              "\n"
                              "The motif analysis of a peak set in one run: the known motifs enriched in the\n"
                              "targets against the controls (motif_enrich's table), new motifs found\n"
                              "(motif_discover's) and named by the known motifs they resemble, whether the\n"
                              "best sites of each pile up at the summits, and the sites. The targets and\n"
                              "controls are drawn once, as motif_enrich draws them, and shared by every step.\n"
                              "Written to OUTDIR (created; only these files replaced): known.tsv, new.meme,\n"
                              "new.tsv, centrality.tsv, sites.bed, controls.bed (with --regions),\n"
                              "command.txt and index.html, the report. Without -m, the known motifs are\n"
                              "JASPAR 2022 CORE vertebrates, shipped with the programs.\n"
                              "\n"
                              "Options:\n"
                              "  -o, --out DIR         the folder of the results\n") +
                          scan_options_help + region_options_help +
                          "                        (default for motif_peaks: 200)\n" + control_regions_help + control_options_help +
                          search_options_help +
                          "      --top N           centrality and sites of the first N known motifs\n"
                          "                        (default 25)\n"
                          "      --central-width W windows of W bases centred on each summit, or on the\n"
                          "                        middle of each record, for centrality (default 500)\n"
                          "      --summary         the known motifs' log10 q in each OUTDIR's known.tsv,\n"
                          "                        as a table of a column per folder, to standard output;\n"
                          "                        motifs grouped in families by their matrices in the\n"
                          "                        runs' motif files (-m, by default the shipped ones)\n"
                          "      --html FILE       with --summary, a heatmap of it to FILE\n";

struct command_line {
    scan_options scan;
    region_options regions;
    discover_settings discovery;
    control_options drawn;
    std::string out, targets, controls;
    std::uint64_t top = 25, central_width = 500;
    std::vector<std::string> words;  // the command line as given
    bool summary = false;
    std::string html;
    std::vector<std::string> summarised;  // the folders of --summary
};

command_line parse_options(int argc, char** argv) {
    enum { out_option = scan_long_option_base, top_option, central_width_option, summary_option, html_option };
    static const std::vector<option> long_options = [] {
        std::vector<option> more = region_long_options();
        for (const std::vector<option>& shared : {control_long_options(), search_long_options()})
            more.insert(more.end(), shared.begin(), shared.end());
        more.insert(more.end(), {control_regions_long_option(),
                                 {"out", required_argument, nullptr, out_option},
                                 {"top", required_argument, nullptr, top_option},
                                 {"central-width", required_argument, nullptr, central_width_option},
                                 {"summary", no_argument, nullptr, summary_option},
                                 {"html", required_argument, nullptr, html_option}});
        return scan_long_options(more);
    }();
    command_line line;
    line.words.assign(argv, argv + argc);
    line.regions.summits = -1;  // not given
    std::set<int> seen;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, (std::string(":o:") + scan_short_options).c_str(), long_options.data(), nullptr)) != -1) {
        if (!repeatable_scan_option(c)) refuse_repeat(program, c == 'o' ? out_option : c, long_options.data(), {}, seen);
        if (take_scan_option(program, usage.c_str(), c, optarg, line.scan)) continue;
        if (take_region_option(program, c, optarg, line.regions)) continue;
        if (take_control_regions_option(program, c, optarg, line.regions)) continue;
        if (take_control_option(program, c, optarg, line.drawn)) continue;
        if (take_search_option(program, c, optarg, line.discovery)) continue;
        switch (c) {
        case 'o':
        case out_option:
            line.out = optarg;
            if (line.out.empty()) usage_error(program, "option -o: the folder name is empty");
            break;
        case top_option:
            line.top = whole_option(program, "--top", optarg, 0, 100000);
            break;
        case central_width_option:
            line.central_width = whole_option(program, "--central-width", optarg, 10, 100000);
            break;
        case summary_option:
            line.summary = true;
            break;
        case html_option:
            line.html = optarg;
            if (line.html.empty()) usage_error(program, "option --html: the file name is empty");
            break;
        default:
            option_error(program, c, argv);
        }
    }
    if (line.summary) {
        if (argc - optind < 1) usage_error(program, "--summary needs the folders of one or more runs");
        if (!line.out.empty() || !line.regions.regions.empty())
            usage_error(program, "--summary reads the folders of runs: -o and --regions go with a run");
        line.summarised.assign(argv + optind, argv + argc);
        return line;
    }
    if (!line.html.empty()) usage_error(program, "--html goes with --summary (a run writes OUTDIR/index.html)");
    if (line.scan.motif_files.empty()) {
        const std::string shipped = shipped_motifs_path();
        if (shipped.empty())
            usage_error(program, std::string("no motif file given (-m FILE), and the shipped ") + shipped_motifs_name +
                                     " is not installed beside the program");
        line.scan.motif_files.push_back(shipped);
    }
    check_scan_options(program, line.scan);
    line.discovery.threads = line.scan.settings.threads;
    line.discovery.shuffle_kmer = 2;  // the controls' shuffles are motif_enrich's
    line.discovery.seed = line.drawn.seed;  // it picks the records held out too
    check_search_options(program, line.discovery);
    const bool summits_given = line.regions.summits >= 0;
    if (!summits_given) line.regions.summits = 0;
    if (line.out.empty()) usage_error(program, "no output folder given (-o OUTDIR)");
    take_target_files(program, line.regions, line.drawn, argc - optind, argv + optind, line.scan.motif_files, line.targets,
                      line.controls);
    if (!line.regions.regions.empty() && !summits_given) line.regions.summits = 200;
    return line;
}

// What the steps share: the targets and controls, and where they lie.
struct peak_set {
    std::vector<sequence_record> targets, controls;
    std::vector<std::size_t> control_target;
    std::vector<genome_region> target_places, control_places;
    std::string controls_bed;
};

// The middle `width` positions of each record (all of a shorter one).
std::vector<sequence_record> middles(const std::vector<sequence_record>& records, std::uint64_t width) {
    std::vector<sequence_record> out;
    for (const sequence_record& r : records) {
        const std::size_t from = r.positions.size() > width ? (r.positions.size() - width) / 2 : 0;
        out.push_back({r.name, r.positions.substr(from, width)});
    }
    return out;
}

// Windows of `width` bases centred on each region's summit (or middle),
// those within their chromosome.
bool central_windows(const genome_file& genome, std::vector<genome_region> places, std::uint64_t width, unsigned threads,
                     std::vector<sequence_record>& windows) {
    centre_regions(places, static_cast<std::int64_t>(width));
    std::vector<genome_region> within;
    for (const genome_region& r : places) {
        const std::int64_t place = genome.place_of(r.chromosome);
        if (place >= 0 && r.start >= 0 && r.end <= genome.chromosomes[static_cast<std::size_t>(place)].second) within.push_back(r);
    }
    std::vector<std::string> bases;
    std::string error;
    if (!fetch_regions(genome, within, threads, bases, error)) {
        print_error(program, error);
        return false;
    }
    windows.clear();
    for (std::size_t i = 0; i < within.size(); ++i) windows.push_back({region_name(within[i]), std::move(bases[i])});
    return true;
}

// The sites of the matrices in the records, as motif_scan writes them: the
// records given as pieces of sequences named `names`, from `first` on.
std::string site_lines(const std::vector<sequence_record>& records, const std::vector<std::uint64_t>& first,
                       const std::vector<scan_matrix>& matrices, const scan_settings& settings) {
    std::size_t widest = 1;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    std::vector<sequence_batch> batches;
    batch_filler filler(settings.batch_bytes, widest - 1, [&](sequence_batch& full) { batches.push_back(std::move(full)); });
    for (std::size_t i = 0; i < records.size(); ++i)
        filler.add(records[i].name, i, first[i], records[i].positions.data(), records[i].positions.size());
    filler.end();
    std::vector<std::string> texts(batches.size());
    parallel_for(batches.size(), settings.threads, [&](std::size_t b) {
        thread_local scan_scratch scratch;
        scan_batch(
            batches[b], matrices, settings, scratch,
            [&](const sequence_batch& batch, const site& s, std::string& out) { append_site(out, batch, s, matrices[s.matrix]); },
            texts[b], [](std::string&) {});
    });
    std::string out;
    for (const std::string& text : texts) out += text;
    return out;
}

// The union of the targets (`merged`, starting at `first`) filled with their
// bases, already read, rather than read again.
void copy_into_union(const genome_file& genome, const std::vector<genome_region>& places,
                     const std::vector<sequence_record>& targets, const std::vector<std::uint64_t>& first,
                     std::vector<sequence_record>& merged) {
    std::vector<std::pair<std::int64_t, std::uint64_t>> starts;  // each piece of the union's place and start
    for (std::size_t i = 0; i < merged.size(); ++i) starts.push_back({genome.place_of(merged[i].name), first[i]});
    for (std::size_t t = 0; t < places.size(); ++t) {
        const std::pair<std::int64_t, std::uint64_t> at{genome.place_of(places[t].chromosome), static_cast<std::uint64_t>(places[t].start)};
        const std::size_t piece = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
        merged[piece].positions.replace(at.second - first[piece], targets[t].positions.size(), targets[t].positions);
    }
}

bool read_peak_set(const command_line& line, peak_set& set) {
    if (!line.regions.regions.empty()) {
        region_records records;
        const control_drawing drawing{line.drawn.kind, line.drawn.shuffles, line.drawn.seed, 2, line.scan.settings.threads, true};
        if (!read_region_records(program, line.regions, drawing, records)) return false;
        set.targets = std::move(records.targets);
        set.controls = std::move(records.controls);
        set.control_target = std::move(records.control_target);
        set.target_places = std::move(records.target_places);
        set.control_places = std::move(records.control_places);
        if (!set.control_places.empty()) set.controls_bed = std::move(records.controls_text);
    } else {
        if (!read_fasta_records(program, line.targets, set.targets)) return false;
        if (!line.controls.empty()) {
            if (!read_fasta_records(program, line.controls, set.controls)) return false;
        } else {
            set.controls = shuffled_controls(set.targets, line.drawn.shuffles, line.drawn.seed, line.scan.settings.threads);
            for (std::size_t i = 0; i < set.controls.size(); ++i) set.control_target.push_back(i / line.drawn.shuffles);
        }
    }
    if (set.controls.empty()) {
        print_error(program, "no controls");
        return false;
    }
    warn_few_controls(program, set.targets.size(), set.controls.size());
    return true;
}

// A motif as a reader of its written form scores and names it: MEME's
// "MOTIF 1-TGACTCA TGACTCA" reads as 1-TGACTCA_TGACTCA.
motif motif_of(const found_motif& m, std::size_t rank) {
    motif out;
    const std::string id = identifier_of(m, rank);
    out.id = id + "_" + id.substr(id.find('-') + 1);
    out.names = {out.id};
    out.scores = m.scores;
    return out;
}

std::string out_path(const command_line& line, const char* name) { return (std::filesystem::path(line.out) / name).string(); }

// The tables say a background only where it is not the default, as
// motif_enrich's and motif_discover's do.
std::string background_comment(const base_frequencies& background) {
    return background == uniform_bases ? "" : "# background: " + background_text(background) + "\n";
}

}  // namespace

int run(int argc, char** argv) {
    command_line line = parse_options(argc, argv);
    if (line.summary)
        return write_summary(program, {line.summarised, line.scan.motif_files, line.scan.reading, line.scan.settings.threads, line.html});
    const scan_settings& scan = line.scan.settings;
    const unsigned threads = scan.threads;
    step_progress steps(program, 8);  // the steps.done below

    std::vector<motif> motifs;
    std::vector<scan_matrix> matrices;
    const auto read_motifs = [&] {
        steps.start("reading the motifs");
        if (!load_scan_motifs(program, line.scan, motifs, matrices)) return false;
        warn_unreachable(program, matrices, line.scan.wanted);
        steps.done("read " + std::to_string(motifs.size()) + " known motifs");
        return true;
    };
    // --bg auto scores the known motifs over the bases of targets and
    // controls, as motif_enrich does: they are read first.
    const bool counted = line.scan.background.counted;
    if (!counted && !read_motifs()) return 1;

    steps.start("reading the targets and drawing the controls");
    peak_set set;
    if (!read_peak_set(line, set)) return 1;
    steps.done("read " + std::to_string(set.targets.size()) + " targets and drew " + std::to_string(set.controls.size()) + " controls");
    if (counted && (!counted_background(program, {&set.targets, &set.controls}, line.scan.background.frequencies) || !read_motifs()))
        return 1;
    // What the known motifs are scored against, on the strands scanned.
    const base_frequencies known_background = matrices.front().grid.background;
    std::error_code failed;
    std::filesystem::create_directories(line.out, failed);
    if (failed) {
        print_error(program, line.out + ": " + failed.message());
        return 1;
    }

    steps.start("scanning for the known motifs");
    const std::vector<enrichment> known = enrich_known_motifs(matrices, set.targets, set.controls, scan, counting::records, [&](double share) {
        steps.within(share, std::to_string(static_cast<int>(100 * share)) + "%");
    });
    if (!write_file(program, out_path(line, "known.tsv"),
                    background_comment(known_background) + enrichment_table(known, motifs, counting::records)))
        return 1;
    steps.done("known motifs");

    steps.start("searching for new motifs");
    std::size_t short_targets = 0, short_controls = 0;
    const search_records records = records_for_search(set.targets, set.controls, set.control_target, line.discovery.min_width,
                                                      short_targets, short_controls);
    if (short_targets || short_controls)
        print_error(program, "warning: " + std::to_string(short_targets) + " targets and " + std::to_string(short_controls) +
                                 " controls shorter than " + std::to_string(line.discovery.min_width) +
                                 " positions left out of the search for new motifs");
    const bool searched = !records.targets.empty() && !records.controls.empty();
    // The search's background is that of both strands, as motif_discover's:
    // averaging the known motifs' with its complement undoes any choice of
    // strand. --bg auto counts the records searched, as motif_discover does.
    base_frequencies search_background = known_background;
    if (counted && searched && (short_targets || short_controls) &&
        !counted_background(program, {&records.targets, &records.controls}, search_background))
        return 1;
    discover_settings search = line.discovery;
    search.background = background_as_written(background_of_strands(search_background, scan_settings{}));
    discovery found;
    if (searched)
        found = discover_motifs(records, search, [&](const found_motif&, std::size_t rank) {
            steps.within(static_cast<double>(rank) / static_cast<double>(search.motifs),
                         std::to_string(rank) + " of at most " + std::to_string(search.motifs) + " motifs");
        });
    steps.done("found " + std::to_string(found.motifs.size()) + " new motifs");

    steps.start("naming the new motifs");
    known_matches names;
    std::vector<std::size_t> in_load_order;  // of each motif of names.database
    for (std::size_t i = 0; i < motifs.size(); ++i)
        if (motifs[i].scores.size() <= max_compare_width) {
            names.database.push_back(motifs[i]);
            in_load_order.push_back(i);
        }
    std::vector<motif> queries;
    for (std::size_t i = 0; i < found.motifs.size(); ++i) queries.push_back(motif_of(found.motifs[i], i + 1));
    compare_settings comparing;
    comparing.threads = threads;
    names.matches = compare_motifs(queries, names.database, comparing);
    std::vector<bool> enriched(motifs.size());
    for (const enrichment& e : known) enriched[e.motif] = e.log_q <= std::log(enriched_q);
    std::vector<std::vector<std::size_t>> enriched_matches(found.motifs.size());
    std::string table;
    {
        const std::string plain = discovery_table(found, &names);
        std::size_t at = plain.find('\n') + 1;
        table = background_comment(search.background) + plain.substr(0, at - 1) + "\tenriched_known_matches\n";
        for (std::size_t i = 0; i < found.motifs.size(); ++i) {
            std::string ids;
            for (const motif_match& m : names.matches[i])
                if (m.log_q <= std::log(enriched_q) && enriched[in_load_order[m.target]]) {
                    enriched_matches[i].push_back(in_load_order[m.target]);
                    ids += (ids.empty() ? "" : ",") + motifs[in_load_order[m.target]].id;
                }
            const std::size_t end = plain.find('\n', at);
            table += plain.substr(at, end - at) + "\t" + (ids.empty() ? "NA" : ids) + "\n";
            at = end + 1;
        }
    }
    if (!write_file(program, out_path(line, "new.meme"), meme_text(found.motifs, search.background)) ||
        !write_file(program, out_path(line, "new.tsv"), table))
        return 1;
    steps.done("named the new motifs");

    // The motifs of centrality and of the sites: the new ones, then the
    // first known ones (for the sites, in load order, as motif_scan puts them).
    steps.start("measuring centrality");
    const std::size_t shown = std::min<std::size_t>(line.top, known.size());
    std::vector<std::size_t> top;
    for (std::size_t r = 0; r < shown; ++r) top.push_back(known[r].motif);
    std::vector<scan_matrix> chosen;
    threshold wanted = line.scan.wanted;
    // The new motifs' p-values under the background their scores are
    // against, as motif_scan --bg motif reads new.meme.
    wanted.background = background_of_strands(search.background, scan);
    for (const motif& q : queries) chosen.push_back(prepare_matrix(q, wanted));
    for (const std::size_t m : top) chosen.push_back(matrices[m]);
    // The genome of the regions, for the central windows and the sites.
    genome_file genome;
    if (!line.regions.regions.empty()) {
        std::string error;
        if (!open_genome(line.regions.genome, genome, error)) {
            print_error(program, error);
            return 1;
        }
    }
    std::vector<sequence_record> target_windows, control_windows;
    if (!line.regions.regions.empty()) {
        if (!central_windows(genome, set.target_places, line.central_width, threads, target_windows)) return 1;
        if (!set.control_places.empty()) {
            if (!central_windows(genome, set.control_places, line.central_width, threads, control_windows)) return 1;
        } else {
            control_windows = middles(set.controls, line.central_width);
        }
    } else {
        target_windows = middles(set.targets, line.central_width);
        control_windows = middles(set.controls, line.central_width);
    }
    std::vector<central_motif> central(chosen.size());
    for (const bool of_targets : {true, false}) {
        const std::vector<sequence_record>& windows = of_targets ? target_windows : control_windows;
        std::size_t widest = 1;
        for (const scan_matrix& m : chosen) widest = std::max(widest, m.width);
        const std::vector<std::vector<record_site>> sites = find_sites(record_batches(windows, widest), chosen, threads);
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            const std::vector<best_site> best = best_sites(sites[k], windows, chosen[k].width);
            central_motif& c = central[k];
            c.id = chosen[k].name;
            c.found = k < queries.size();
            (of_targets ? c.targets : c.controls) = central_stretch(best, chosen.size());
            (of_targets ? c.target_windows : c.control_windows) = windows.size();
            for (const best_site& b : best) (of_targets ? c.target_distances : c.control_distances).push_back(b.distance);
        }
    }
    if (!write_file(program, out_path(line, "centrality.tsv"), centrality_table(central))) return 1;
    steps.done("centrality of " + std::to_string(chosen.size()) + " motifs");

    steps.start("writing the sites");
    {
        std::vector<scan_matrix> listed(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(queries.size()));
        std::vector<std::size_t> ordered = top;
        std::sort(ordered.begin(), ordered.end());
        for (const std::size_t m : ordered) listed.push_back(matrices[m]);
        std::vector<sequence_record> scanned;
        std::vector<std::uint64_t> first;
        if (!line.regions.regions.empty()) {
            for (const genome_region& r : merged_regions(genome, set.target_places)) {
                scanned.push_back({r.chromosome, std::string(static_cast<std::size_t>(r.end - r.start), 'N')});
                first.push_back(static_cast<std::uint64_t>(r.start));
            }
            copy_into_union(genome, set.target_places, set.targets, first, scanned);
        } else {
            scanned = set.targets;
            first.assign(scanned.size(), 0);
        }
        if (!write_file(program, out_path(line, "sites.bed"), site_lines(scanned, first, listed, scan))) return 1;
        if (!line.regions.regions.empty() && !set.controls_bed.empty() &&
            !write_file(program, out_path(line, "controls.bed"), set.controls_bed))
            return 1;
    }
    steps.done("sites of " + std::to_string(queries.size() + top.size()) + " motifs");

    steps.start("writing the report");
    std::string command;
    for (const std::string& word : line.words) command += (command.empty() ? "" : " ") + word;
    // The background as --bg resolved it (the counts of --bg auto, a file's
    // line), said only where it is not the uniform one, like the tables.
    std::string background;
    if (known_background != uniform_bases || search.background != uniform_bases) {
        const std::string known_text = background_text(known_background), search_text = background_text(search.background);
        background = known_text == search_text ? known_text : "known motifs " + known_text + ", new motifs " + search_text;
    }
    if (!write_file(program, out_path(line, "command.txt"),
                    command + "\n" + program + " " + MOTIF_VERSION + "\nseed " + std::to_string(line.discovery.seed) + "\n" +
                        (background.empty() ? "" : "background " + background + "\n")))
        return 1;
    peaks_results results;
    const std::string per_target = std::to_string(line.drawn.shuffles) + " per target (seed " + std::to_string(line.drawn.seed) + ")";
    if (!line.regions.regions.empty()) {
        results.settings.push_back({"targets", line.regions.regions + " of " + line.regions.genome + ", " +
                                                   std::to_string(line.regions.summits) + " bases around each summit: " +
                                                   std::to_string(set.targets.size()) + " regions"});
        results.settings.push_back(
            {"controls", (!line.regions.control_regions.empty() ? line.regions.control_regions
                          : line.drawn.kind == background::gc ? "random regions of the genome of each target's length and GC content, " + per_target
                                                                 : "the targets shuffled, dinucleotides kept, " + per_target) +
                             ": " + std::to_string(set.controls.size()) + " records"});
    } else {
        results.settings.push_back({"targets", line.targets + ": " + std::to_string(set.targets.size()) + " records"});
        results.settings.push_back({"controls", (line.controls.empty() ? "the targets shuffled, dinucleotides kept, " + per_target : line.controls) +
                                                    ": " + std::to_string(set.controls.size()) + " records"});
    }
    std::string files;
    for (const std::string& path : line.scan.motif_files) files += (files.empty() ? "" : ", ") + path;
    std::size_t enriched_count = 0;
    for (const enrichment& e : known) enriched_count += e.log_q <= std::log(enriched_q);
    results.settings.push_back({"known motifs", files + ": " + std::to_string(motifs.size()) + " motifs, " +
                                                    std::to_string(enriched_count) + " of q at most 0.05"});
    char limits[200];
    std::snprintf(limits, sizeof limits, "widths %zu to %zu, at most %zu motifs, E-value at most %g: %zu found",
                  line.discovery.min_width, line.discovery.max_width, line.discovery.motifs, line.discovery.evalue, found.motifs.size());
    results.settings.push_back({"new motifs", limits});
    if (!background.empty()) results.settings.push_back({"background", background});
    char threshold_text[64];
    std::snprintf(threshold_text, sizeof threshold_text, "%s %g", line.scan.wanted.by_score ? "score at least" : "p-value at most",
                  line.scan.wanted.value);
    results.settings.push_back({"sites", threshold_text});
    results.settings.push_back({"centrality", std::to_string(line.central_width) + " bases around each summit: " +
                                                  std::to_string(target_windows.size()) + " target and " +
                                                  std::to_string(control_windows.size()) + " control windows"});
    results.settings.push_back({"program", std::string(program) + " " + MOTIF_VERSION});
    results.known = &known;
    results.motifs = &motifs;
    results.shown = shown;
    std::vector<motif> shown_motifs;
    for (const std::size_t m : top) shown_motifs.push_back(motifs[m]);
    results.like = fold_families(resemblances(shown_motifs, threads)).like;
    results.found = &found;
    results.names = &names;
    results.enriched_matches = enriched_matches;
    results.central = &central;
    results.central_width = line.central_width;
    if (!write_file(program, out_path(line, "index.html"), peaks_report(results))) return 1;
    steps.done("report");
    return 0;
}

int main(int argc, char** argv) {
    return guarded_main(program, [&] { return run(argc, argv); });
}
