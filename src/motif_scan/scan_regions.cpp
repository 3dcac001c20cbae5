// Scanning regions of a genome, each batch read by the thread that scans it.
#include "scan_regions.h"

#include <algorithm>
#include <mutex>

#include "report.h"
#include "scan_input.h"

bool scan_regions(const char* program, const std::string& genome_path, const std::vector<genome_region>& regions,
                  std::size_t carry, pipeline& scans, const scan_settings& settings) {
    // A genome file is read by one thread at a time: one opened for each.
    std::vector<genome_file> genomes(std::max(1u, settings.threads));
    std::mutex lock;
    std::string first_error;
    scans.fill = [&](sequence_batch& batch, unsigned worker) {
        genome_file& genome = genomes[worker];
        std::string bases, error;
        bool ok = !genome.path.empty() || open_genome(genome_path, genome, error);
        for (std::size_t i = 0; ok && i < batch.pieces.size(); ++i) {
            const sequence_piece& piece = batch.pieces[i];
            const auto start = static_cast<std::int64_t>(piece.first_position);
            ok = fetch_bases(genome, piece.record, start, start + static_cast<std::int64_t>(piece.length), bases, error);
            if (ok) std::copy(bases.begin(), bases.end(), batch.bytes.begin() + static_cast<std::ptrdiff_t>(piece.begin));
        }
        if (!ok) {
            std::lock_guard<std::mutex> held(lock);
            if (first_error.empty()) first_error = error;
        }
        return ok;
    };
    batch_filler filler(settings.batch_bytes, carry, [&](sequence_batch& full) { scans.hand_over(full); });
    for (std::size_t i = 0; i < regions.size() && !scans.output_failed() && !scans.fill_failed(); ++i) {
        const genome_region& r = regions[i];
        filler.add(r.chromosome, i, static_cast<std::uint64_t>(r.start), nullptr, static_cast<std::size_t>(r.end - r.start));
    }
    filler.end();
    scans.finish();
    if (!first_error.empty()) print_error(program, first_error);
    return first_error.empty();
}
