// A genome read through htslib's faidx, as samtools reads one: FASTA, plain
// or bgzip-compressed, with its .fai index (and .gzi for bgzip), fetched a
// region at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct genome_file {
    std::string path;
    std::vector<std::pair<std::string, std::int64_t>> chromosomes;  // in the index's order, with their lengths
    std::shared_ptr<void> index;                                     // the faidx_t
    // The place of a chromosome in `chromosomes`, or -1.
    std::int64_t place_of(const std::string& chromosome) const;

  private:
    friend bool open_genome(const std::string&, genome_file&, std::string&);
    std::vector<std::pair<std::string, std::size_t>> by_name;  // sorted, for place_of
};

// Opens the genome at `path`, building a missing index as samtools faidx
// would (beside the file, which must then be writable). On failure returns
// false with `error` set to "PATH: reason".
bool open_genome(const std::string& path, genome_file& genome, std::string& error);

// The bases [start, end) of a chromosome as the file holds them (case kept).
// One genome_file is not to be read from two threads at once.
bool fetch_bases(const genome_file& genome, const std::string& chromosome, std::int64_t start, std::int64_t end,
                 std::string& bases, std::string& error);
