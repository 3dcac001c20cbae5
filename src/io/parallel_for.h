// Independent pieces of work spread over threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

// Calls work(i) once for every i below `count`, on up to `threads` threads,
// the calling one among them; returns when all are done.
template <class Work>
void parallel_for(std::size_t count, unsigned threads, const Work& work) {
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        for (std::size_t i; (i = next++) < count;) work(i);
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < std::min<std::size_t>(threads, count); ++t) helpers.emplace_back(take);
    take();
    for (std::thread& helper : helpers) helper.join();
}
