// Feeding FASTA to the scanning pipeline, from a file or from memory.
#pragma once

#include <string>

#include "pipeline.h"

// Scans one FASTA file (plain or gzip; "-" for standard input); returns false
// after reporting a failure in one line. The sites found before a failure
// still go out.
bool scan_fasta_file(const char* program, const std::string& path, std::size_t carry, pipeline& scans,
                     const scan_settings& settings);

// A FASTA record held in memory: its name and positions.
struct sequence_record {
    std::string name, positions;
};

// Appends every record of a FASTA file (plain or gzip; "-" for standard
// input) to `records`, also those without positions; reports a failure, or
// a file without records, in one line and returns false.
bool read_fasta_records(const char* program, const std::string& path, std::vector<sequence_record>& records);

// Hands records held in memory to the pipeline in batches, as the reader
// hands a file's, the records numbered from `first_index`.
void scan_records(const std::vector<sequence_record>& records, std::uint64_t first_index, std::size_t carry,
                  pipeline& scans, const scan_settings& settings);
