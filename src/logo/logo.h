// A motif's sequence logo as SVG, and what is read off the same stacks:
// each position's base frequencies and the consensus.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One stack of the logo: its information content and, per base, the base's
// probability and its letter's height in bits.
struct logo_stack {
    double information = 0;             // bits, 0 to 2
    std::array<double, 4> probability;  // in base order, summing to 1
    std::array<double, 4> height;       // probability x information
    std::array<int, 4> bottom_up;       // bases from the bottom of the stack: the tallest on top
};

// The stack of a matrix position: probabilities 0.25 e^score normalised to
// sum to 1 (they fall short of 1 where some sites had no base there).
logo_stack stack_of(const std::array<double, 4>& scores);

// The most likely base at each position, by its stack's probabilities:
// upper case where its frequency is at least 0.5, lower case where it is below.
std::string consensus_of(const std::vector<std::array<double, 4>>& scores);

// Text for XML and HTML: &, <, > and " as entities, control bytes but tab
// and line ends (which XML 1.0 refuses) as '?'.
std::string xml_escaped(const std::string& text);

// The whole picture: a y axis in bits, one stack per position numbered from
// 1, and the title; with `before` and `after` blank positions around the
// stacks, so that logos drawn on one canvas line up.
std::string logo_svg(const std::vector<std::array<double, 4>>& scores, const std::string& title, std::size_t before = 0,
                     std::size_t after = 0);

// Two motifs' logos on one canvas, so that facing columns line up: column i
// of `upper` faces column i + offset of `lower`.
std::pair<std::string, std::string> aligned_logos(const std::vector<std::array<double, 4>>& upper, const std::string& upper_title,
                                                  const std::vector<std::array<double, 4>>& lower, const std::string& lower_title,
                                                  std::int64_t offset);

// Drawing sizes, in pixels.
inline constexpr double pixels_per_bit = 100;
inline constexpr double stack_width = 30;
inline constexpr double left_margin = 70, top_margin = 50, bottom_margin = 40, right_margin = 20;
