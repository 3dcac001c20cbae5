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

    // Where the index says each chromosome's record lies in the file: its
    // header line from header, its first base at offset, line_bases to a
    // line of line_bytes.
    struct layout {
        std::int64_t header = 0, offset = 0, line_bases = 0, line_bytes = 0;
        bool last = false;  // the file's last record
    };
    std::vector<layout> layouts;
    std::shared_ptr<void> raw;  // a BGZF of the file, to check records against the index
    // Per chromosome: 1 once its record was found as the index says.
    mutable std::vector<char> checked;

  private:
    friend bool open_genome(const std::string&, genome_file&, std::string&);
    std::vector<std::pair<std::string, std::size_t>> by_name;  // sorted, for place_of
};

// Opens the genome at `path`, building a missing index as samtools faidx
// would (beside the file, which must then be writable), and refusing an
// index older than the file. On failure returns false with `error` set to
// "PATH: reason".
bool open_genome(const std::string& path, genome_file& genome, std::string& error);

// Checks that chromosome `place`'s record is where and as the index says:
// its header line names it, its first and last lines end where the index
// says, and the next record (or the end of the file) follows. A stale index
// would otherwise hand out header lines as bases, or bases shifted.
bool check_record(const genome_file& genome, std::size_t place, std::string& error);

// The error of a record found other than as the index says.
std::string not_as_indexed(const genome_file& genome, const std::string& record);

// The bases [start, end) of a chromosome as the file holds them (case kept),
// its record checked on its first fetch. One genome_file is not to be read
// from two threads at once.
bool fetch_bases(const genome_file& genome, const std::string& chromosome, std::int64_t start, std::int64_t end,
                 std::string& bases, std::string& error);
