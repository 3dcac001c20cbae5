// motif_peaks --summary: the known motifs' enrichment across many peak sets
// analysed apart, as one table and a heatmap.
#pragma once

#include <string>
#include <vector>

#include "motif.h"

struct summary_request {
    std::vector<std::string> folders;      // of the runs, one set each
    std::vector<std::string> motif_files;  // the runs' known motifs, for their families; none: the shipped ones
    motif_reading reading;
    unsigned threads = 1;
    std::string html;  // the heatmap's file, or none
};

// Reads known.tsv of each folder and writes the motif x set table of log10
// q to standard output, motifs folded into families, and with `html` the
// heatmap page; reports a failure in one line and returns 1, or 0.
int write_summary(const char* program, const summary_request& request);
