// Scanning a FASTA text held in memory through the fast path, for the tests
// and the fuzz target: blocks of settings.read_bytes into the reader,
// batches scanned on settings.threads threads, sites caught in a memory file.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fasta.h"
#include "pipeline.h"
#include "scan.h"

// Returns the output, or "error: ..." if the reader refused the text.
inline std::string fast_scan(const std::string& fasta, const std::vector<scan_matrix>& matrices,
                             scan_settings settings) {
    settings.output_fd = ::memfd_create("sites", 0);
    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    std::string error;
    {
        pipeline scans(matrices, settings);
        fasta_reader reader(settings.batch_bytes, widest - 1, [&](sequence_batch& full) { scans.hand_over(full); });
        for (std::size_t at = 0; at < fasta.size() && error.empty(); at += settings.read_bytes)
            reader.read(fasta.data() + at, std::min(settings.read_bytes, fasta.size() - at), error);
        reader.end();
        scans.finish();
    }
    std::string out(static_cast<std::size_t>(::lseek(settings.output_fd, 0, SEEK_END)), '\0');
    if (::pread(settings.output_fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) out = "short read";
    ::close(settings.output_fd);
    return error.empty() ? out : "error: " + error;
}
