// Scanning regions of a genome: motif_scan --regions and the Python module.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pipeline.h"
#include "regions.h"

// Scans the union of the regions: batches of them are laid out here, and
// each is read from the genome by the thread that scans it, so that reading
// (decompressing bgzip) takes every core as scanning does. Sites are placed
// on the chromosomes.
// On failure reports it in one line for `program` and returns false.
bool scan_regions(const char* program, const std::string& genome_path, const std::vector<genome_region>& regions,
                  std::size_t carry, pipeline& scans, const scan_settings& settings);
