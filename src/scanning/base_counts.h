// The bases of the sequences a run scans, counted for a background of their
// own (--bg auto).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "motif.h"

struct base_counts {
    // Tallies every byte; only bases count in the end. Sequences of
    // gigabytes pass through here, so a byte costs an increment, no call.
    void add(const char* bytes, std::size_t size);
    // A, C, G and T, either case.
    std::array<std::uint64_t, 4> bases() const;

    std::array<std::uint64_t, 256> tally{};
};

// The frequencies of the counted bases over both strands (A = T, C = G): a
// site may lie on either. Returns false with `error` set where the bases
// are none, or lack A and T or C and G, which no p-value can be weighted by.
bool frequencies_of_counts(const base_counts& counts, base_frequencies& frequencies, std::string& error);
