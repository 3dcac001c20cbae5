#include "fasta.h"

#include <algorithm>
#include <cstring>

#include "kernels.h"

namespace {

// Room past batch_bytes for the copy's whole vectors.
constexpr std::size_t slack = 64;
// Batches of many small records are handed over before their pieces pile up.
constexpr std::size_t max_pieces = 1 << 16;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

fasta_reader::fasta_reader(std::size_t batch, std::size_t carry_bytes, std::function<void(sequence_batch&)> give,
                           const scan_kernels& loops)
    : batch_bytes(std::max<std::size_t>(batch, carry_bytes + 1)), carry(carry_bytes), hand_over(std::move(give)),
      kernels(loops) {
    this->batch.bytes.resize(batch_bytes + slack);
}

void fasta_reader::start_record() {
    // A record without positions leaves no piece.
    if (!batch.pieces.empty() && batch.pieces.back().length == 0) batch.pieces.pop_back();
    if (batch.pieces.size() == max_pieces) full_batch(false);
    name.clear();
    ++records;
    where = header_name;
}

void fasta_reader::full_batch(bool record_goes_on) {
    std::string tail;
    std::uint64_t first = 0;
    if (record_goes_on) {
        sequence_piece& last = batch.pieces.back();
        last.goes_on = true;
        const std::size_t kept = std::min(carry, last.length);
        tail.assign(batch.bytes.data() + last.begin + last.length - kept, kept);
        first = last.first_position + last.length - kept;
    }
    hand_over(batch);
    batch.used = 0;
    batch.pieces.clear();
    if (batch.bytes.size() < batch_bytes + slack) batch.bytes.resize(batch_bytes + slack);
    if (record_goes_on) {
        std::memcpy(batch.bytes.data(), tail.data(), tail.size());
        batch.used = tail.size();
        batch.pieces.push_back({name, records - 1, first, 0, tail.size(), false});
    }
}

const char* fasta_reader::copy_sequence(const char* from, const char* end) {
    char* out = batch.bytes.data() + batch.used;
    const char* full = batch.bytes.data() + batch_bytes;
    const auto close_piece = [&] {
        batch.used = static_cast<std::size_t>(out - batch.bytes.data());
        batch.pieces.back().length = batch.used - batch.pieces.back().begin;
    };
    while (from < end) {
        if (out >= full) {
            close_piece();
            full_batch(true);
            out = batch.bytes.data() + batch.used;
            full = batch.bytes.data() + batch_bytes;
        }
        // Whole stretches of lines at once, then a few bytes one at a time.
        std::size_t written;
        from += kernels.copy_positions(from, static_cast<std::size_t>(end - from), out,
                                       static_cast<std::size_t>(full - out), written);
        out += written;
        for (const char* stop = std::min(end, from + 64); from < stop && out < full;) {
            const char c = *from++;
            if (static_cast<unsigned char>(c) > 0x20) {
                *out++ = c;
            } else if (c == '\n') {
                // A header may start the next line: the reader looks.
                if (from == end || *from == '>') {
                    where = line_start;
                    close_piece();
                    return from;
                }
            } else if (!is_blank(c)) {
                *out++ = c;  // other control bytes are positions too
            }
        }
    }
    close_piece();
    return from;
}

bool fasta_reader::read(const char* data, std::size_t size, std::string& error) {
    const char* at = data;
    const char* const end = data + size;
    while (at < end) {
        switch (where) {
        case before_records:
            for (; at < end; ++at) {
                if (*at == '\n') {
                    ++line;
                    at_line_start = true;
                } else if (at_line_start && *at == '>') {
                    ++at;
                    start_record();
                    break;
                } else if (is_blank(*at)) {
                    at_line_start = false;
                } else {
                    error = "line " + std::to_string(line) + ": the first line that is not empty is not a '>' header";
                    return false;
                }
            }
            break;
        case header_name: {
            const char* stop = at;
            while (stop < end && !is_blank(*stop) && *stop != '\n') ++stop;
            name.append(at, stop);
            at = stop;
            if (at < end) {
                // An empty name would make an empty first column of BED.
                if (name.empty()) {
                    name = unnamed_name(records);
                    if (unnamed++ == 0) first_unnamed = records;
                }
                if (record_named) record_named(name);
                batch.pieces.push_back({name, records - 1, 0, batch.used, 0, false});
                where = *at == '\n' ? line_start : header_rest;
                ++at;
            }
            break;
        }
        case header_rest:
            if (const void* line_feed = std::memchr(at, '\n', static_cast<std::size_t>(end - at))) {
                at = static_cast<const char*>(line_feed) + 1;
                where = line_start;
            } else {
                at = end;
            }
            break;
        case line_start:
            if (*at == '>') {
                ++at;
                start_record();
            } else {
                where = sequence;
            }
            break;
        case sequence:
            at = copy_sequence(at, end);
            break;
        }
    }
    return true;
}

void fasta_reader::end() {
    if (!batch.pieces.empty() && batch.pieces.back().length == 0) batch.pieces.pop_back();
    if (!batch.pieces.empty()) hand_over(batch);
    batch.pieces.clear();
    batch.used = 0;
}
