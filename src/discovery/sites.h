// Finding motifs' sites in records held in memory, on all threads: the
// scanning engine's batches, built once for a set of records and scanned
// again with each round's motifs.
#pragma once

#include <cstdint>
#include <vector>

#include "pipeline.h"
#include "scan_input.h"

// A motif's site: its record (in the order given), first position, strand,
// score and p-value.
struct record_site {
    std::uint32_t record;
    std::uint32_t start;
    bool minus;
    double score, p;
};

// Records cut into the engine's batches, for motifs of any width up to the
// widest discovery makes.
struct record_batches {
    record_batches(const std::vector<sequence_record>& records, std::size_t widest);
    std::vector<sequence_batch> batches;
};

// Every site of each motif in the records, on both strands, in record then
// position order: sites[m] for matrices[m]. The same for any number of
// threads.
std::vector<std::vector<record_site>> find_sites(const record_batches& records, const std::vector<scan_matrix>& matrices,
                                                 unsigned threads);

// Which records hold at least one of `sites` of p-value at most `p`, of
// `count` records.
std::vector<bool> records_with(const std::vector<record_site>& sites, std::size_t count, double p);

// Every position of each site, of motifs `width` wide, made N: the next
// round's search must not find these sites again, nor a motif shifted a
// column along them.
void mask_sites(std::vector<sequence_record>& records, const std::vector<record_site>& sites, std::size_t width);
