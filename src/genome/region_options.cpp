#include "region_options.h"

#include "report.h"

const char* const region_options_help =
    "      --regions FILE    the sequences are these regions of the genome: BED\n"
    "                        (3 columns or more) or narrowPeak, plain or gzip\n"
    "      --genome FASTA    the genome, plain or bgzip, indexed as samtools faidx\n"
    "                        indexes it (a missing index is built beside it)\n"
    "      --summits W       W bases centred on each region's summit (narrowPeak\n"
    "                        column 10), or on its middle where there is none\n"
    "      --skip-missing    leave out regions not within the genome, with a\n"
    "                        warning, instead of failing\n";

namespace {

enum { regions_option = region_option_base, genome_option, summits_option, skip_missing_option };

}  // namespace

std::vector<option> region_long_options() {
    return {{"regions", required_argument, nullptr, regions_option},
            {"genome", required_argument, nullptr, genome_option},
            {"summits", required_argument, nullptr, summits_option},
            {"skip-missing", no_argument, nullptr, skip_missing_option}};
}

bool take_region_option(const char* program, int c, const char* value, region_options& options) {
    switch (c) {
    case regions_option:
        options.regions = value;
        if (options.regions.empty()) usage_error(program, "option --regions: the file name is empty");
        return true;
    case genome_option:
        options.genome = value;
        if (options.genome.empty()) usage_error(program, "option --genome: the file name is empty");
        return true;
    case summits_option:
        options.summits = static_cast<std::int64_t>(whole_option(program, "--summits", value, 1, std::uint64_t{1} << 40));
        return true;
    case skip_missing_option:
        options.skip_missing = true;
        return true;
    default:
        return false;
    }
}

bool load_regions(const char* program, const region_options& options, genome_file& genome,
                  std::vector<genome_region>& regions) {
    std::string error;
    if (!read_regions(options.regions, regions, error) || !open_genome(options.genome, genome, error)) {
        print_error(program, error);
        return false;
    }
    if (options.summits > 0) centre_regions(regions, options.summits);
    const std::size_t given = regions.size();
    std::string first_empty;
    if (const std::size_t empty = drop_empty_regions(regions, options.regions, first_empty))
        print_error(program, "warning: " + std::to_string(empty) + " of " + std::to_string(given) +
                                 " regions left out, empty (start = end); the first: " + first_empty);
    std::size_t skipped = 0;
    if (!check_regions(genome, options.regions, regions, options.skip_missing, skipped, error)) {
        print_error(program, error);
        return false;
    }
    if (skipped > 0)
        print_error(program, "warning: " + std::to_string(skipped) + " of " + std::to_string(given) +
                                 " regions left out, not within the genome; the first: " + error);
    return true;
}
