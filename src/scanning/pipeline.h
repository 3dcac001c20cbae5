// Scanning batches on several threads and writing their sites to standard
// output in input order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fasta.h"
#include "kernels.h"
#include "scanning.h"

// Per thread: what scanning a batch needs beyond the batch.
struct scan_scratch {
    std::vector<std::uint8_t> codes, grouped;
    std::vector<std::uint64_t> bad;
    std::vector<passed_block> passed;
    std::vector<std::size_t> offsets;
    std::vector<std::uint32_t> clean;
    std::vector<site> found, merged;
    std::vector<std::size_t> runs;
};

// What becomes of a site: its text appended to `out` (or nothing).
using site_reporter = std::function<void(const sequence_batch& batch, const site& s, std::string& out)>;

// Scans every piece of `batch` and reports its sites in output order:
// records as given, then by start, motif and strand. Calls `spill(out)`
// whenever out grows past a few megabytes (a loose threshold), which may
// write it and empty it.
void scan_batch(const sequence_batch& batch, const std::vector<scan_matrix>& matrices, const scan_settings& settings,
                scan_scratch& scratch, const site_reporter& report, std::string& out,
                const std::function<void(std::string&)>& spill);

struct pipeline {
    // The reported text goes to `output_fd`.
    pipeline(const std::vector<scan_matrix>& matrices, const scan_settings& settings, site_reporter report,
             int output_fd);
    // The reported text goes to `take`, one batch's at a time in input
    // order, never two at once; it returns 0 or an errno that ends the scan
    // as a failed write does.
    pipeline(const std::vector<scan_matrix>& matrices, const scan_settings& settings, site_reporter report,
             std::function<int(const std::string&)> take);
    ~pipeline();

    // Takes a full batch to be scanned, and leaves an empty one in its place.
    void hand_over(sequence_batch& full);
    // If set, fills each batch's bytes before it is scanned, on the thread
    // that scans it (`worker` of the threads, from 0), for input that costs
    // time to read. A batch it fails to fill, and every batch after it,
    // writes nothing.
    std::function<bool(sequence_batch& batch, unsigned worker)> fill;
    // Whether `fill` failed.
    bool fill_failed();
    // Whether a write to the output failed: reading on is of no use.
    bool output_failed();
    // Waits for every batch handed over to be written; returns the errno of a
    // failed write to standard output, or 0.
    int finish();

  private:
    void work(unsigned worker);
    void wait_for_turn(std::uint64_t index);
    // Fills and scans batch `index`, writing its text when its turn comes.
    void scan_in_turn(sequence_batch& batch, std::uint64_t index, unsigned worker, scan_scratch& scratch, std::string& out);
    void write_out(std::string& text);

    const std::vector<scan_matrix>& matrices;
    const scan_settings& settings;
    site_reporter report;
    std::function<int(const std::string&)> take;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::pair<std::uint64_t, sequence_batch>> waiting;
    std::vector<sequence_batch> spare;
    std::uint64_t handed = 0, written = 0;
    std::uint64_t unfilled = UINT64_MAX;  // the first batch `fill` failed on
    bool closing = false;
    int write_error = 0;
    scan_scratch own_scratch;  // for scanning on the calling thread (one thread)
    std::vector<std::thread> workers;
};
