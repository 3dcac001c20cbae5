#include "scan_input.h"

#include <algorithm>
#include <functional>

#include "input.h"
#include "report.h"

namespace {

// Feeds a file to a reader in blocks until its end, a failure (reported) or
// `enough`; ends the reader and closes the file. Records without a name are
// warned of once a file, `warn` on the pass that says so.
bool read_through(const char* program, input_file& input, fasta_reader& reader, std::size_t block_bytes,
                  const std::function<bool()>& enough, bool warn = true) {
    std::string error;
    bool ok = true;
    for (;;) {
        const char* block;
        const long got = view_input(input, block, block_bytes, error);
        if (got < 0) {
            print_error(program, error);
            ok = false;
            break;
        }
        if (got == 0 || enough()) break;
        if (!reader.read(block, static_cast<std::size_t>(got), error)) {
            print_error(program, input.name + ": " + error);
            ok = false;
            break;
        }
    }
    reader.end();
    if (warn && reader.unnamed > 0) {
        const std::string first = std::to_string(reader.first_unnamed);
        print_error(program, "warning: " + input.name + ": record " + first + " has no name, named " +
                                 unnamed_name(reader.first_unnamed) +
                                 (reader.unnamed > 1
                                      ? " (" + std::to_string(reader.unnamed) + " such records, each by its number)"
                                      : ""));
    }
    close_input(input);
    return ok;
}

}  // namespace

bool scan_fasta_file(const char* program, const std::string& path, std::size_t carry, pipeline& scans,
                     const scan_settings& settings) {
    input_file input;
    std::string error;
    if (!open_input(path, input, error)) {
        print_error(program, error);
        return false;
    }
    fasta_reader reader(settings.batch_bytes, carry, [&](sequence_batch& full) { scans.hand_over(full); },
                        kernels_in_use(settings));
    // Reading on is of no use once the output fails.
    return read_through(program, input, reader, settings.read_bytes, [&] { return scans.output_failed(); });
}

bool count_fasta_bases(const char* program, const std::string& path, base_counts& counts) {
    input_file input;
    std::string error;
    if (!open_input(path, input, error)) {
        print_error(program, error);
        return false;
    }
    // Without a carry, each position is counted once; the scan warns.
    fasta_reader reader(1 << 20, 0, [&](sequence_batch& full) { counts.add(full.bytes.data(), full.used); }, best_kernels());
    return read_through(program, input, reader, 1 << 20, [] { return false; }, false);
}

bool counted_background(const char* program, const std::vector<const std::vector<sequence_record>*>& sets,
                        base_frequencies& frequencies) {
    base_counts counts;
    for (const auto* records : sets)
        for (const sequence_record& r : *records) counts.add(r.positions.data(), r.positions.size());
    std::string error;
    if (frequencies_of_counts(counts, frequencies, error)) return true;
    print_error(program, "--bg auto: " + error);
    return false;
}

bool read_fasta_records(const char* program, const std::string& path, std::vector<sequence_record>& records) {
    input_file input;
    std::string error;
    if (!open_input(path, input, error)) {
        print_error(program, error);
        return false;
    }
    const std::size_t first = records.size();
    // Without a carry, a record's pieces follow one another.
    fasta_reader reader(
        1 << 20, 0,
        [&](sequence_batch& full) {
            for (const sequence_piece& piece : full.pieces)
                records[first + piece.record_index].positions.append(full.bytes.data() + piece.begin, piece.length);
        },
        best_kernels());
    reader.record_named = [&](const std::string& name) { records.push_back({name, ""}); };
    const std::string name = input.name;
    if (!read_through(program, input, reader, 1 << 20, [] { return false; })) return false;
    if (records.size() == first) {
        print_error(program, name + ": no FASTA records");
        return false;
    }
    return true;
}

batch_filler::batch_filler(std::size_t bytes, std::size_t c, std::function<void(sequence_batch&)> h)
    : batch_bytes(std::max(bytes, c + 1)), carry(c), hand_over(std::move(h)) {}

void batch_filler::hand_over_full(bool record_goes_on) {
    // Windows starting in the last `carry` positions of a record that goes
    // on are left to the next batch, which starts with them.
    sequence_piece next{};
    std::string kept;
    if (record_goes_on) {
        sequence_piece& last = batch.pieces.back();
        last.goes_on = true;
        const std::size_t k = std::min(carry, last.length);
        kept.assign(batch.bytes.data() + last.begin + last.length - k, k);
        next = {last.record, last.record_index, last.first_position + last.length - k, 0, k, false};
    }
    hand_over(batch);
    batch.pieces.clear();
    batch.used = 0;
    if (record_goes_on) {
        if (batch.bytes.size() < batch_bytes) batch.bytes.resize(batch_bytes);
        std::copy(kept.begin(), kept.end(), batch.bytes.begin());
        batch.pieces.push_back(next);
        batch.used = next.length;
    }
}

void batch_filler::add(const std::string& name, std::uint64_t index, std::uint64_t first_position, const char* positions,
                       std::size_t size) {
    const bool carries_on = !batch.pieces.empty() && batch.pieces.back().record_index == index &&
                            batch.pieces.back().first_position + batch.pieces.back().length == first_position;
    if (size > 0 && !carries_on) {
        if (batch.used == batch_bytes) hand_over_full(false);
        batch.pieces.push_back({name, index, first_position, batch.used, 0, false});
    }
    while (size > 0) {
        if (batch.used == batch_bytes) hand_over_full(true);
        if (batch.bytes.size() < batch_bytes) batch.bytes.resize(batch_bytes);
        const std::size_t length = std::min(batch_bytes - batch.used, size);
        if (positions) {
            std::copy_n(positions, length, batch.bytes.begin() + static_cast<std::ptrdiff_t>(batch.used));
            positions += length;
        }
        batch.pieces.back().length += length;
        batch.used += length;
        size -= length;
    }
}

void batch_filler::end() {
    if (!batch.pieces.empty()) hand_over(batch);
    batch.pieces.clear();
    batch.used = 0;
}

void scan_records(const std::vector<sequence_record>& records, std::uint64_t first_index, std::size_t carry,
                  pipeline& scans, const scan_settings& settings, const std::function<void(std::size_t)>& handed) {
    std::size_t i = 0;
    batch_filler filler(settings.batch_bytes, carry, [&](sequence_batch& full) {
        scans.hand_over(full);
        if (handed) handed(i);
    });
    for (; i < records.size(); ++i)
        filler.add(records[i].name, first_index + i, 0, records[i].positions.data(), records[i].positions.size());
    filler.end();
}
