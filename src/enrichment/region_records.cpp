#include "region_records.h"

#include <algorithm>

#include "controls.h"
#include "gc_content.h"
#include "genomic_controls.h"
#include "report.h"

const char* const control_regions_help =
    "      --control-regions FILE  with --regions, the controls are these regions\n"
    "                        of the same genome (BED or narrowPeak), --summits\n"
    "                        applied alike, instead of regions drawn at random\n";

option control_regions_long_option() {
    return {"control-regions", required_argument, nullptr, control_regions_option};
}

bool take_control_regions_option(const char* program, int c, const char* value, region_options& options) {
    if (c != control_regions_option) return false;
    options.control_regions = value;
    if (options.control_regions.empty()) usage_error(program, "option --control-regions: the file name is empty");
    return true;
}

void take_target_files(const char* program, const region_options& options, const control_options& controls, int count,
                       char** files, const std::vector<std::string>& more, std::string& targets, std::string& control_file) {
    if (options.regions.empty()) {
        if (!options.genome.empty() || options.summits > 0 || options.skip_missing || controls.kind_given ||
            !options.control_regions.empty())
            usage_error(program, "--genome, --summits, --skip-missing, --background and --control-regions go with --regions");
        if (count == 0) usage_error(program, "no target file given");
        if (count > 2) usage_error(program, "a target file and at most one control file, not " + std::to_string(count) + " files");
        targets = files[0];
        if (count == 2) control_file = files[1];
    } else {
        if (!options.control_regions.empty() && (controls.kind_given || controls.shuffles_given))
            usage_error(program, "--control-regions are the controls: --background and --shuffles draw others");
        if (!options.control_regions.empty() && options.control_regions == options.regions)
            usage_error(program, "--control-regions and --regions are the same file");
        if (options.genome.empty()) usage_error(program, "--regions needs --genome");
        if (options.genome == "-") usage_error(program, "the genome cannot be read from standard input: it needs its index");
        if (count > 0) usage_error(program, "with --regions, the targets come from the genome, not from sequence files");
    }
    int from_stdin = (targets == "-") + (control_file == "-") + (options.regions == "-") + (options.control_regions == "-");
    for (const std::string& path : more) from_stdin += path == "-";
    if (from_stdin > 1) usage_error(program, "standard input can hold only one of the files");
}

namespace {

// How many of `regions` overlap one of `others` by a base at least.
std::size_t overlapping(const genome_file& genome, const std::vector<genome_region>& regions,
                        const std::vector<genome_region>& others) {
    const std::vector<genome_region> merged = merged_regions(genome, others);
    std::size_t count = 0;
    for (const genome_region& r : regions) {
        const std::int64_t place = genome.place_of(r.chromosome);
        const auto first_past = std::lower_bound(merged.begin(), merged.end(), r, [&](const genome_region& m, const genome_region&) {
            const std::int64_t at = genome.place_of(m.chromosome);
            return at != place ? at < place : m.end <= r.start;
        });
        count += first_past != merged.end() && first_past->chromosome == r.chromosome && first_past->start < r.end;
    }
    return count;
}

// The control regions, read and checked as the targets are; their overlaps
// with the targets told in one warning line.
bool read_control_regions(const char* program, const region_options& options, const genome_file& genome,
                          const std::vector<genome_region>& targets, std::vector<genome_region>& controls) {
    region_options of_controls = options;
    of_controls.regions = options.control_regions;
    genome_file same;
    if (!load_regions(program, of_controls, same, controls)) return false;
    if (controls.empty()) {
        print_error(program, options.control_regions + ": no regions");
        return false;
    }
    const std::size_t targets_over = overlapping(genome, targets, controls), controls_over = overlapping(genome, controls, targets);
    if (targets_over > 0 || controls_over > 0)
        print_error(program, "warning: " + std::to_string(targets_over) + " of " + std::to_string(targets.size()) +
                                 " targets overlap a control region, and " + std::to_string(controls_over) + " of " +
                                 std::to_string(controls.size()) + " control regions a target");
    return true;
}

}  // namespace

bool read_region_records(const char* program, const region_options& options, const control_drawing& drawing,
                         region_records& records) {
    genome_file genome;
    std::vector<genome_region> regions;
    if (!load_regions(program, options, genome, regions)) return false;
    if (regions.empty()) {
        print_error(program, options.regions + ": no regions");
        return false;
    }
    std::vector<std::string> bases;
    std::string error;
    if (!fetch_regions(genome, regions, drawing.threads, bases, error)) {
        print_error(program, error);
        return false;
    }
    records = region_records{};
    for (std::size_t i = 0; i < regions.size(); ++i) records.targets.push_back({region_name(regions[i]), std::move(bases[i])});

    std::vector<genome_region> places;
    if (!options.control_regions.empty()) {
        if (!read_control_regions(program, options, genome, regions, places)) return false;
        for (const genome_region& c : places)
            if (drawing.text)
                records.controls_text += c.chromosome + "\t" + std::to_string(c.start) + "\t" + std::to_string(c.end) + "\n";
    } else if (drawing.kind == background::shuffle) {
        records.controls = shuffled_controls(records.targets, drawing.per_target, drawing.seed, drawing.threads, drawing.kmer);
        for (std::size_t i = 0; i < records.controls.size(); ++i) records.control_target.push_back(i / drawing.per_target);
        if (drawing.text) records.controls_text = as_fasta(records.controls);
        records.target_places = std::move(regions);
        return true;
    } else {
        genome_gc gc;
        if (!read_genome_gc(genome, drawing.threads, gc, error)) {
            print_error(program, error);
            return false;
        }
        std::size_t undrawn = 0;
        const std::vector<genomic_control> drawn =
            gc_matched_controls(genome, gc, regions, drawing.per_target, drawing.seed, drawing.threads, undrawn);
        if (undrawn > 0)
            print_error(program, "warning: " + std::to_string(undrawn) + " of " + std::to_string(regions.size() * drawing.per_target) +
                                     " controls not drawn: no place of their target's length and GC content, outside the targets, "
                                     "was found (targets of no A, C, G or T have none)");
        for (const genomic_control& c : drawn) {
            places.push_back(c.region);
            records.control_target.push_back(c.target);
            if (drawing.text)
                records.controls_text += c.region.chromosome + "\t" + std::to_string(c.region.start) + "\t" +
                                         std::to_string(c.region.end) + "\t" + records.targets[c.target].name + "\n";
        }
    }
    if (!fetch_regions(genome, places, drawing.threads, bases, error)) {
        print_error(program, error);
        return false;
    }
    for (std::size_t i = 0; i < places.size(); ++i) records.controls.push_back({region_name(places[i]), std::move(bases[i])});
    records.target_places = std::move(regions);
    records.control_places = std::move(places);
    return true;
}
