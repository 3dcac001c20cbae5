// Feeding FASTA to the scanning pipeline, from a file or from memory.
#pragma once

#include <functional>
#include <string>

#include "base_counts.h"
#include "pipeline.h"

// Scans one FASTA file (plain or gzip; "-" for standard input); returns false
// after reporting a failure in one line. The sites found before a failure
// still go out.
bool scan_fasta_file(const char* program, const std::string& path, std::size_t carry, pipeline& scans,
                     const scan_settings& settings);

// Counts the bases of a FASTA file as scan_fasta_file reads them, the file
// read once; returns false after reporting a failure in one line.
bool count_fasta_bases(const char* program, const std::string& path, base_counts& counts);

// A FASTA record held in memory: its name and positions.
struct sequence_record {
    std::string name, positions;
};

// Appends every record of a FASTA file (plain or gzip; "-" for standard
// input) to `records`, also those without positions; reports a failure, or
// a file without records, in one line and returns false.
bool read_fasta_records(const char* program, const std::string& path, std::vector<sequence_record>& records);

// --bg auto over records held in memory: the frequencies of the bases of
// every record of `sets`; reports a failure in one line and returns false.
bool counted_background(const char* program, const std::vector<const std::vector<sequence_record>*>& sets,
                        base_frequencies& frequencies);

// Fills batches with records' positions, given in stretches of any size,
// and hands each full one over, as the FASTA reader does: a record that
// does not fit goes on in the next batch, which starts with its last
// `carry` positions.
struct batch_filler {
    batch_filler(std::size_t batch_bytes, std::size_t carry, std::function<void(sequence_batch&)> hand_over);
    // Adds `size` positions of record `index`, named `name`, the first at
    // `first_position`. Positions that carry on the previous stretch of the
    // same record join its piece. Without `positions`, only the pieces are
    // laid out, for the pipeline's `fill` to read their bytes.
    void add(const std::string& name, std::uint64_t index, std::uint64_t first_position, const char* positions,
             std::size_t size);
    // Hands over what the last batch holds.
    void end();

  private:
    void hand_over_full(bool record_goes_on);
    std::size_t batch_bytes, carry;
    std::function<void(sequence_batch&)> hand_over;
    sequence_batch batch;
};

// Hands records held in memory to the pipeline in batches, as the reader
// hands a file's, the records numbered from `first_index`; after each batch
// tells `handed`, if given, how many records the batches so far hold whole.
void scan_records(const std::vector<sequence_record>& records, std::uint64_t first_index, std::size_t carry,
                  pipeline& scans, const scan_settings& settings, const std::function<void(std::size_t)>& handed = {});
