// What the programs that draw controls for their targets are told alike:
// where the controls come from, how many per target and the seed, through
// getopt_long.
#pragma once

#include <getopt.h>

#include <cstdint>
#include <vector>

// The controls of targets read from a genome: random regions matched to
// each target's length and GC content, or the targets shuffled.
enum class background { gc, shuffle };

struct control_options {
    background kind = background::gc;
    std::uint64_t shuffles = 1;  // controls per target
    std::uint64_t seed = 1;
    bool kind_given = false, shuffles_given = false;
};

// More controls than this per target sharpen nothing but take memory.
inline constexpr std::uint64_t max_shuffles = 1000;

// The long options, their values from control_option_base on, and their help lines.
inline constexpr int control_option_base = 5000;
std::vector<option> control_long_options();
extern const char* const control_options_help;

// Takes option `c` into `options` if it is one of the control options
// (usage errors end the program); returns false for any other.
bool take_control_option(const char* program, int c, const char* value, control_options& options);
