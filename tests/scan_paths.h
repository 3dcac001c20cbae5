// Scanning a FASTA text held in memory through the fast path and the plain
// one, for the tests and the fuzz target: blocks of settings.read_bytes into
// the reader, batches scanned on settings.threads threads, the lines
// motif_scan writes caught in a memory file.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fasta.h"
#include "kernels.h"
#include "output.h"
#include "pipeline.h"
#include "scan_input.h"
#include "scanning.h"

// Returns the output, or "error: ..." if the reader refused the text.
inline std::string fast_scan(const std::string& fasta, const std::vector<scan_matrix>& matrices,
                             const scan_settings& settings) {
    const int fd = ::memfd_create("sites", 0);
    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    std::string error;
    {
        pipeline scans(
            matrices, settings,
            [&](const sequence_batch& batch, const site& s, std::string& out) { append_site(out, batch, s, matrices[s.matrix]); },
            fd);
        fasta_reader reader(settings.batch_bytes, widest - 1, [&](sequence_batch& full) { scans.hand_over(full); },
                            kernels_in_use(settings));
        for (std::size_t at = 0; at < fasta.size() && error.empty(); at += settings.read_bytes)
            reader.read(fasta.data() + at, std::min(settings.read_bytes, fasta.size() - at), error);
        reader.end();
        scans.finish();
    }
    std::string out(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    if (::pread(fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) out = "short read";
    ::close(fd);
    return error.empty() ? out : "error: " + error;
}

// The same for records held in memory, handed to the pipeline as they are.
inline std::string records_scan(const std::vector<sequence_record>& records, const std::vector<scan_matrix>& matrices,
                                const scan_settings& settings) {
    const int fd = ::memfd_create("sites", 0);
    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    {
        pipeline scans(
            matrices, settings,
            [&](const sequence_batch& batch, const site& s, std::string& out) { append_site(out, batch, s, matrices[s.matrix]); },
            fd);
        scan_records(records, 0, widest - 1, scans, settings);
        scans.finish();
    }
    std::string out(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    if (::pread(fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) out = "short read";
    ::close(fd);
    return out;
}

// The plain scan's sites as motif_scan writes them.
inline std::string plain_text(const std::string& fasta, const std::vector<scan_matrix>& matrices,
                              const scan_settings& settings) {
    std::string out;
    for (const plain_site& s : plain_scan(fasta, matrices, settings))
        append_site(out, s.record, s.found, matrices[s.found.matrix], s.window.data());
    return out;
}
