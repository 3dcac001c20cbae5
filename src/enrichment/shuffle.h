// Control sequences: each record's bases shuffled so that its dinucleotide
// counts stay exactly the same, uniformly among all such sequences.
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
// dinucleotide counts, first and last base (Kandel et al.: a random Euler
// path through the graph of its dinucleotides).
void shuffle_dinucleotides(std::vector<std::uint8_t>& bases, random_bits& random);

// The control of a record's positions: each stretch of bases (A, C, G, T in
// either case, counted alike) shuffled on its own, in upper case; every
// other byte stays where it is.
std::string shuffled_record(const std::string& positions, random_bits& random);
