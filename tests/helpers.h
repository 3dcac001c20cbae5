// Scratch folders and whole-file reads and writes for the tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
