#include "scan_input.h"

#include <algorithm>
#include <functional>

#include "input.h"
#include "report.h"

namespace {

// Feeds a file to a reader in blocks until its end, a failure (reported) or
// `enough`; ends the reader and closes the file.
bool read_through(const char* program, input_file& input, fasta_reader& reader, std::size_t block_bytes,
                  const std::function<bool()>& enough) {
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

void scan_records(const std::vector<sequence_record>& records, std::uint64_t first_index, std::size_t carry,
                  pipeline& scans, const scan_settings& settings) {
    const std::size_t batch_bytes = std::max(settings.batch_bytes, carry + 1);
    sequence_batch batch;
    const auto hand_over = [&] {
        if (!batch.pieces.empty()) scans.hand_over(batch);
        batch.pieces.clear();
        batch.used = 0;
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string& positions = records[i].positions;
        // A record longer than a batch goes on in the next, which starts
        // with its last `carry` positions; windows starting there are left to it.
        for (std::size_t at = 0; at < positions.size();) {
            if (batch.used == batch_bytes) hand_over();
            const std::size_t length = std::min(batch_bytes - batch.used, positions.size() - at);
            if (batch.bytes.size() < batch_bytes) batch.bytes.resize(batch_bytes);
            std::copy(positions.begin() + static_cast<std::ptrdiff_t>(at), positions.begin() + static_cast<std::ptrdiff_t>(at + length),
                      batch.bytes.begin() + static_cast<std::ptrdiff_t>(batch.used));
            const bool goes_on = at + length < positions.size();
            batch.pieces.push_back({records[i].name, first_index + i, at, batch.used, length, goes_on});
            batch.used += length;
            at += length;
            if (goes_on) {
                at -= std::min(carry, length);
                hand_over();
            }
        }
    }
    hand_over();
}
