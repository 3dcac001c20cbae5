// Batches are scanned on all threads at once; each writes its text when
// every batch before it has been written, so the output is the same for any
// number of threads. Batches are reused, and the reader waits while enough
// are waiting, so memory stays bounded.
#include "pipeline.h"

#include <new>
#include <stdexcept>

#include "report.h"
#include "write_all.h"

pipeline::pipeline(const std::vector<scan_matrix>& m, const scan_settings& s, site_reporter r, int fd)
    : pipeline(m, s, std::move(r), [fd](const std::string& text) { return write_all(fd, text.data(), text.size()); }) {}

pipeline::pipeline(const std::vector<scan_matrix>& m, const scan_settings& s, site_reporter r,
                   std::function<int(const std::string&)> t)
    : matrices(m), settings(s), report(std::move(r)), take(std::move(t)) {
    if (settings.threads <= 1) return;
    workers.reserve(settings.threads);
    for (unsigned t = 0; t < settings.threads; ++t)
        workers.emplace_back([this, t] {
            // A worker's failure to allocate cannot reach the program's main.
            try {
                work(t);
            } catch (const std::bad_alloc&) {
                out_of_memory_on_thread();
            } catch (const std::length_error&) {
                out_of_memory_on_thread();
            }
        });
}

pipeline::~pipeline() { finish(); }

void pipeline::write_out(std::string& text) {
    // Only the thread whose turn it is writes; the lock only publishes a failure.
    if (!text.empty() && !output_failed()) {
        if (const int error = take(text)) {
            std::lock_guard<std::mutex> held(lock);
            write_error = error;
        }
    }
    text.clear();
}

bool pipeline::output_failed() {
    std::lock_guard<std::mutex> held(lock);
    return write_error != 0;
}

void pipeline::wait_for_turn(std::uint64_t index) {
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [&] { return written == index; });
}

bool pipeline::fill_failed() {
    std::lock_guard<std::mutex> held(lock);
    return unfilled != UINT64_MAX;
}

void pipeline::scan_in_turn(sequence_batch& batch, std::uint64_t index, unsigned worker, scan_scratch& scratch,
                            std::string& out) {
    const auto dropped = [&] {
        std::lock_guard<std::mutex> held(lock);
        return index >= unfilled;
    };
    if (fill && !fill(batch, worker)) {
        std::lock_guard<std::mutex> held(lock);
        unfilled = std::min(unfilled, index);
    }
    // The text of a batch after one that could not be filled is dropped.
    const auto in_turn = [&](std::string& text) {
        wait_for_turn(index);
        if (dropped()) text.clear();
        write_out(text);
    };
    // Once the output has failed, nothing more is written: batches still
    // waiting are not scanned, so that a stopped run ends soon.
    const bool stopped = settings.stop && settings.stop->load(std::memory_order_relaxed);
    if (!dropped() && !output_failed() && !stopped) scan_batch(batch, matrices, settings, scratch, report, out, in_turn);
    in_turn(out);
}

void pipeline::hand_over(sequence_batch& full) {
    if (workers.empty()) {
        std::string out;
        scan_in_turn(full, handed, 0, own_scratch, out);
        written = ++handed;
        return;
    }
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [&] { return waiting.size() < 2 * workers.size(); });
    waiting.emplace_back(handed++, std::move(full));
    full = sequence_batch{};
    if (!spare.empty()) {
        full = std::move(spare.back());
        spare.pop_back();
    }
    changed.notify_all();
}

void pipeline::work(unsigned worker) {
    scan_scratch scratch;
    std::string out;
    for (;;) {
        std::unique_lock<std::mutex> held(lock);
        changed.wait(held, [&] { return !waiting.empty() || closing; });
        if (waiting.empty()) return;
        const std::uint64_t index = waiting.front().first;
        sequence_batch batch = std::move(waiting.front().second);
        waiting.pop_front();
        changed.notify_all();
        held.unlock();

        scan_in_turn(batch, index, worker, scratch, out);

        held.lock();
        written = index + 1;
        batch.pieces.clear();
        batch.used = 0;
        spare.push_back(std::move(batch));
        changed.notify_all();
    }
}

int pipeline::finish() {
    {
        std::lock_guard<std::mutex> held(lock);
        closing = true;
    }
    changed.notify_all();
    for (auto& worker : workers) worker.join();
    workers.clear();
    return write_error;
}
