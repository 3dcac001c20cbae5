// A generated genome for the tests of reading regions of genomes: random
// bases of drifting GC content with lower-case stretches and runs of N,
// written as FASTA, plain and bgzip, into a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <htslib/bgzf.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "helpers.h"

using chromosome = std::pair<std::string, std::string>;

// Random bases of drifting GC content, with stretches in lower case (as
// repeats are masked), runs of N, also at the chromosomes' ends, and a few
// other IUPAC codes.
inline std::vector<chromosome> generated_genome() {
    std::mt19937_64 random(20);
    std::vector<chromosome> genome;
    for (const auto& [name, length] : std::vector<std::pair<std::string, std::size_t>>{
             {"chr1", 1'300'000}, {"chr2", 30'000}, {"chrUn_1", 333}, {"chrM", 1'600}}) {
        std::string bases(length, 'A');
        double gc = 0.4;
        for (std::size_t i = 0; i < length; ++i) {
            if (i % 1000 == 0) gc = std::clamp(gc + (static_cast<double>(random() % 21) - 10) / 100, 0.2, 0.8);
            const double u = static_cast<double>(random() % 1'000'000) / 1e6;
            bases[i] = u < gc / 2 ? 'G' : u < gc ? 'C' : u < gc + (1 - gc) / 2 ? 'A' : 'T';
        }
        for (std::size_t i = 0; i + 400 < length; i += 5000 + random() % 5000)
            std::transform(bases.begin() + i, bases.begin() + i + 300 + random() % 100, bases.begin() + i, ::tolower);
        for (std::size_t i = 2000; i + 200 < length; i += 20'000 + random() % 20'000)
            std::fill_n(bases.begin() + i, 10 + random() % 190, 'N');
        for (std::size_t i = 1500; i < length; i += 1000 + random() % 5000) bases[i] = "RYkmSw"[random() % 6];
        if (length > 1000) std::fill_n(bases.begin(), 25, 'N');
        if (length > 30'000) std::fill_n(bases.end() - 40, 40, 'n');
        genome.emplace_back(name, bases);
    }
    return genome;
}

inline std::string as_fasta(const std::vector<chromosome>& genome, std::size_t line_width) {
    std::string text;
    for (const auto& [name, bases] : genome) {
        text += ">" + name + " generated\n";
        for (std::size_t at = 0; at < bases.size(); at += line_width) text += bases.substr(at, line_width) + "\n";
    }
    return text;
}

inline void write_bgzip(const std::string& path, const std::string& text) {
    BGZF* out = bgzf_open(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(bgzf_write(out, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ASSERT_EQ(bgzf_close(out), 0);
}

// The genome in a scratch folder as FASTA, plain and bgzip, unindexed.
struct genome_files {
    genome_files() : bases(generated_genome()) {
        const std::string text = as_fasta(bases, 60);
        write_file(plain, text);
        write_bgzip(bgzip, text);
    }
    std::int64_t length(const std::string& name) const { return static_cast<std::int64_t>(of(name).size()); }
    const std::string& of(const std::string& name) const {
        for (const auto& [n, b] : bases)
            if (n == name) return b;
        throw std::out_of_range(name);
    }
    scratch_dir dir;
    std::vector<chromosome> bases;
    std::string plain = dir / "genome.fa", bgzip = dir / "genome.fa.gz";
};

inline const genome_files& shared_genome() {
    static const genome_files files;
    return files;
}

