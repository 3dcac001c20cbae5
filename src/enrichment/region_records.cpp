#include "region_records.h"

#include "controls.h"
#include "gc_content.h"
#include "genomic_controls.h"
#include "report.h"

void check_region_targets(const char* program, const region_options& options, bool background_given, int files) {
    if (options.regions.empty()) {
        if (!options.genome.empty() || options.summits > 0 || options.skip_missing || background_given)
            usage_error(program, "--genome, --summits, --skip-missing and --background go with --regions");
        return;
    }
    if (options.genome.empty()) usage_error(program, "--regions needs --genome");
    if (options.genome == "-") usage_error(program, "the genome cannot be read from standard input: it needs its index");
    if (files > 0) usage_error(program, "with --regions, the targets come from the genome, not from sequence files");
}

background background_of_option(const char* program, const char* value) {
    if (std::string(value) == "gc") return background::gc;
    if (std::string(value) != "shuffle") usage_error(program, std::string("option --background: '") + value + "' is not gc or shuffle");
    return background::shuffle;
}

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

    if (drawing.kind == background::shuffle) {
        records.controls = shuffled_controls(records.targets, drawing.per_target, drawing.seed, drawing.threads, drawing.kmer);
        for (std::size_t i = 0; i < records.controls.size(); ++i) records.control_target.push_back(i / drawing.per_target);
        if (drawing.text) records.controls_text = as_fasta(records.controls);
        return true;
    }
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
    std::vector<genome_region> places;
    for (const genomic_control& c : drawn) {
        places.push_back(c.region);
        records.control_target.push_back(c.target);
        if (drawing.text)
            records.controls_text += c.region.chromosome + "\t" + std::to_string(c.region.start) + "\t" +
                                     std::to_string(c.region.end) + "\t" + records.targets[c.target].name + "\n";
    }
    if (!fetch_regions(genome, places, drawing.threads, bases, error)) {
        print_error(program, error);
        return false;
    }
    for (std::size_t i = 0; i < places.size(); ++i) records.controls.push_back({region_name(places[i]), std::move(bases[i])});
    return true;
}
