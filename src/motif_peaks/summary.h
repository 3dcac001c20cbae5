// motif_peaks --summary: the known motifs' enrichment across many peak sets
// analysed apart, as one table and a heatmap.
#pragma once

#include <string>
#include <vector>

// Reads known.tsv of each folder and writes the motif x set table of log10
// q to standard output, and with `html` the heatmap page; reports a failure
// in one line and returns 1, or 0.
int write_summary(const char* program, const std::vector<std::string>& folders, const std::string& html);
