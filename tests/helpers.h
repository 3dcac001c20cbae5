// Scratch folders and whole-file reads and writes for the tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Built with AddressSanitizer or ThreadSanitizer every step runs some 3 to 30
// times slower. What those builds add is the sanitizer's checks on each kind
// of input, not more input of each kind: there the slowest tests generate
// less, through sized(). -DMOTIF_TESTS_SANITIZED=1 gives a plain build the
// sizes too, to check they still pass without a sanitizer's slow build.
#ifndef MOTIF_TESTS_SANITIZED
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MOTIF_TESTS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MOTIF_TESTS_SANITIZED 1
#endif
#endif
#endif
#ifdef MOTIF_TESTS_SANITIZED
constexpr bool sanitized_build = true;
#else
constexpr bool sanitized_build = false;
#endif

// The size of a generated input: `regular`, or `sanitized` in a sanitizer's build.
template <typename size>
constexpr size sized(size regular, size sanitized) {
    return sanitized_build ? sanitized : regular;
}

struct scratch_dir {
    std::string path;
    scratch_dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "motif_matrix_test.XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~scratch_dir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The matrix file of the three sites ACGT, acga and ACTT.
inline const char* const three_sites_matrix =
    "A|   1.17866|  -1.38629|  -1.38629|  0.223144|\n"
    "C|  -1.38629|   1.17866|  -1.38629|  -1.38629|\n"
    "G|  -1.38629|  -1.38629|   0.81093|  -1.38629|\n"
    "T|  -1.38629|  -1.38629|  0.223144|   0.81093|\n";
