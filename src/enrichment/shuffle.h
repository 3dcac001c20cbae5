// Control sequences: each record's bases shuffled so that its counts of
// dinucleotides (or trinucleotides) stay exactly the same, uniformly among
// all such sequences.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A generator of random bits (splitmix64): small, fast and seeded anew for
// every record, so that shuffles are the same whatever thread makes them.
struct random_bits {
    explicit random_bits(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    // Uniform in [0, n), n > 0, without bias.
    std::uint64_t below(std::uint64_t n);
    std::uint64_t state;
};

// The seed of copy `copy` of record `record` of a run seeded with `seed`.
std::uint64_t record_seed(std::uint64_t seed, std::uint64_t record, std::uint64_t copy);

// Replaces `bases` (codes 0-3) with a uniformly random sequence of the same
// counts of k-mers (k 2 or 3), and the same first and last k - 1 bases
// (Kandel et al.: a random Euler path through the graph of its k-mers).
void shuffle_keeping(std::vector<std::uint8_t>& bases, std::size_t k, random_bits& random);

// The control of a record's positions: each stretch of bases (A, C, G, T in
// either case, counted alike) shuffled on its own keeping its k-mers, in
// upper case; every other byte stays where it is.
std::string shuffled_record(const std::string& positions, std::size_t k, random_bits& random);
