// Control sequences made from the targets, and sequences written as FASTA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan_input.h"

// `shuffles` copies of each target, its k-mers kept (k 2 or 3), named
// NAME_shuffleK: made on all threads, each from its own seed (from `seed`,
// the target's place and the copy's), so the same for any number of threads.
std::vector<sequence_record> shuffled_controls(const std::vector<sequence_record>& targets, std::uint64_t shuffles,
                                               std::uint64_t seed, unsigned threads, std::size_t k = 2);

// Records as FASTA text, 60 positions a line.
std::string as_fasta(const std::vector<sequence_record>& records);

// Warns in one line where the controls are fewer than a tenth of the
// targets: against so few, no motif can be found enriched.
void warn_few_controls(const char* program, std::size_t targets, std::size_t controls);
