// The four bases and the tables every program reads DNA with.
#pragma once

#include <array>
#include <cstdint>

// Base order of a matrix row and of the lines of a matrix file.
inline constexpr char base_letters[4] = {'A', 'C', 'G', 'T'};

// Code of a byte's base (A/a 0, C/c 1, G/g 2, T/t 3); every other byte maps to 4.
// The complement of a base code b < 4 is 3 - b.
inline constexpr std::array<std::uint8_t, 256> base_code = [] {
    std::array<std::uint8_t, 256> code{};
    for (auto& c : code) c = 4;
    for (int b = 0; b < 4; ++b) {
        code[static_cast<unsigned char>(base_letters[b])] = static_cast<std::uint8_t>(b);
        code[static_cast<unsigned char>(base_letters[b] + ('a' - 'A'))] = static_cast<std::uint8_t>(b);
    }
    return code;
}();

// The complementary base of a byte, case kept (A<->T, C<->G); other bytes map to themselves.
inline constexpr std::array<char, 256> complement = [] {
    std::array<char, 256> to{};
    for (int c = 0; c < 256; ++c) to[c] = static_cast<char>(c);
    const char* pairs[] = {"AT", "TA", "CG", "GC", "at", "ta", "cg", "gc"};
    for (const char* pair : pairs) to[static_cast<unsigned char>(pair[0])] = pair[1];
    return to;
}();
