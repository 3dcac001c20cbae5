// Independent pieces of work spread over threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "report.h"

// Calls work(i) once for every i below `count`, on up to `threads` threads,
// the calling one among them; returns when all are done. Running out of
// memory on any of them ends the program in one line.
template <class Work>
void parallel_for(std::size_t count, unsigned threads, const Work& work) {
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        try {
            for (std::size_t i; (i = next++) < count;) work(i);
        } catch (const std::bad_alloc&) {
            out_of_memory_on_thread();
        } catch (const std::length_error&) {
            out_of_memory_on_thread();
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < std::min<std::size_t>(threads, count); ++t) helpers.emplace_back(take);
    take();
    for (std::thread& helper : helpers) helper.join();
}
