// Targets read from regions of a genome (peaks), and their controls: random
// regions of the genome matched to each target's length and GC content, or
// the targets shuffled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control_options.h"
#include "region_options.h"
#include "scan_input.h"

struct region_records {
    std::vector<sequence_record> targets, controls;  // named chrom:start-end (shuffles: NAME_shuffleK)
    std::vector<std::size_t> control_target;         // each control's target
    std::vector<genome_region> target_places, control_places;  // in the genome (none for shuffles)
    std::string controls_text;  // with `text`: what --control-out writes, BED of the regions drawn or FASTA of shuffles
};

struct control_drawing {
    background kind = background::gc;
    std::uint64_t per_target = 1, seed = 1;
    std::size_t kmer = 2;  // of the shuffles
    unsigned threads = 1;
    bool text = false;  // make controls_text
};

// --control-regions BED: the controls are these regions of the same genome,
// for programs that draw controls; its value is region_option_base + 100.
inline constexpr int control_regions_option = region_option_base + 100;
option control_regions_long_option();
extern const char* const control_regions_help;

// Takes --control-regions (usage errors end the program); returns false for
// any other option.
bool take_control_regions_option(const char* program, int c, const char* value, region_options& options);

// Reads the targets (with load_regions) and makes their controls, or reads
// them from --control-regions (centred alike with --summits); warns in one
// line of targets without a base, of controls not drawn, and of targets and
// controls that overlap. Reports a failure in one line and returns false.
bool read_region_records(const char* program, const region_options& options, const control_drawing& drawing,
                         region_records& records);

// After the options of a program of targets and controls, the `count`
// `files` that follow them: without --regions a target file and at most one
// control file; --regions needs --genome and no sequence files, and
// --background and the other region options go with --regions;
// --control-regions takes the place of --background and --shuffles; and
// standard input is one of these or of `more` (the motif files) at most.
// Usage errors end the program.
void take_target_files(const char* program, const region_options& options, const control_options& controls, int count,
                       char** files, const std::vector<std::string>& more, std::string& targets, std::string& control_file);
