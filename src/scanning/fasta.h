// The FASTA reader: records streamed into batches of positions, so that a
// chromosome of any length passes through in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct scan_kernels;

// A stretch of one record's positions held in a batch.
struct sequence_piece {
    std::string record;            // the record's name
    std::uint64_t record_index;    // the record's place among the reader's, from 0
    std::uint64_t first_position;  // position in the record of the piece's first byte
    std::size_t begin, length;     // where the piece lies in the batch's bytes
    // The record goes on in the next batch, which starts with this piece's
    // last `carry` positions: windows starting there are left to it.
    bool goes_on;
};

struct sequence_batch {
    std::vector<char> bytes;  // the positions as read, case kept; `used` of them are filled
    std::size_t used = 0;
    std::vector<sequence_piece> pieces;
};

// The name of the n-th record of a file (from 1) whose header gives none.
inline std::string unnamed_name(std::uint64_t n) { return "record" + std::to_string(n); }

// Reads FASTA text in blocks split anywhere. A record starts at a line
// beginning with '>'; its name is the header up to the first blank, tab or
// carriage return, or if that is empty unnamed_name of its number. Every
// byte of the other lines but line feeds, carriage returns, blanks and tabs
// is a position. The first line that is neither empty nor blanks must be a
// header.
struct fasta_reader {
    // `carry`: positions of a record repeated at the start of the next batch
    // when the record goes on there (the widest matrix's width - 1), so that
    // every window lies whole in the batch where it starts, and each batch's
    // sites come in order. `hand_over` takes a full batch and leaves an empty
    // one in its place.
    // `kernels` copy the sequence lines.
    fasta_reader(std::size_t batch_bytes, std::size_t carry, std::function<void(sequence_batch&)> hand_over,
                 const scan_kernels& kernels);

    // Reads the next block of a file; returns false, with `error` set to
    // "line N: reason", if the file is not FASTA.
    bool read(const char* data, std::size_t size, std::string& error);
    // Ends the file: hands over what the last batch holds.
    void end();

    std::size_t batch_bytes, carry;
    std::function<void(sequence_batch&)> hand_over;
    // If set, called with each record's name once it is read, also for
    // records without positions (which leave no piece).
    std::function<void(const std::string&)> record_named;
    const scan_kernels& kernels;
    sequence_batch batch;  // its last piece is the record being read, once its name is known
    enum { before_records, line_start, header_name, header_rest, sequence } where = before_records;
    bool at_line_start = true;  // before the first record
    std::uint64_t line = 1;     // counted until the first header
    std::uint64_t records = 0;  // headers read
    std::uint64_t unnamed = 0, first_unnamed = 0;  // records without a name, and the first one's number
    std::string name;           // of the record being read

  private:
    void start_record();
    void full_batch(bool record_goes_on);
    const char* copy_sequence(const char* from, const char* end);
};
