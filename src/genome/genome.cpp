#include "genome.h"

#include <htslib/faidx.h>
#include <htslib/hts_log.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

faidx_t* index_of(const genome_file& genome) { return static_cast<faidx_t*>(genome.index.get()); }

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

std::int64_t genome_file::place_of(const std::string& chromosome) const {
    const auto at = std::lower_bound(by_name.begin(), by_name.end(), std::make_pair(chromosome, std::size_t{0}));
    return at != by_name.end() && at->first == chromosome ? static_cast<std::int64_t>(at->second) : -1;
}

bool open_genome(const std::string& path, genome_file& genome, std::string& error) {
    // htslib's own messages are several lines, some of them warnings: this
    // program says what went wrong in one.
    hts_set_log_level(HTS_LOG_OFF);
    if (!exists(path)) {
        error = path + ": " + std::strerror(ENOENT);
        return false;
    }
    const bool indexed = exists(path + ".fai");
    faidx_t* index = fai_load3(path.c_str(), nullptr, nullptr, FAI_CREATE);
    if (!index) {
        // Tell apart what htslib does not: an index that could not be
        // written, and a file it cannot index (gzip, not bgzip; not FASTA).
        if (!indexed && ::access((path.substr(0, path.find_last_of('/') + 1) + ".").c_str(), W_OK) != 0) {
            error = path + ": no index " + path + ".fai, and its folder is not writable to build one (samtools faidx builds it)";
        } else if (!indexed) {
            error = path + ": cannot index it: not FASTA, or compressed with gzip rather than bgzip";
        } else {
            error = path + ": cannot read it with its index " + path + ".fai";
        }
        return false;
    }
    // Regions are read in the genome's order, several to a bgzip block:
    // each block is decompressed once.
    fai_set_cache_size(index, 1 << 20);
    genome.path = path;
    genome.index = std::shared_ptr<void>(index, [](void* fai) { fai_destroy(static_cast<faidx_t*>(fai)); });
    genome.chromosomes.clear();
    genome.by_name.clear();
    for (int i = 0; i < faidx_nseq(index); ++i) {
        const char* name = faidx_iseq(index, i);
        genome.chromosomes.emplace_back(name, faidx_seq_len(index, name));
        genome.by_name.emplace_back(name, static_cast<std::size_t>(i));
    }
    std::sort(genome.by_name.begin(), genome.by_name.end());
    return true;
}

bool fetch_bases(const genome_file& genome, const std::string& chromosome, std::int64_t start, std::int64_t end,
                 std::string& bases, std::string& error) {
    bases.clear();
    if (end <= start) return true;
    hts_pos_t length = 0;
    char* fetched = faidx_fetch_seq64(index_of(genome), chromosome.c_str(), start, end - 1, &length);
    if (!fetched || length != end - start) {
        std::free(fetched);
        error = genome.path + ": cannot read " + chromosome + ":" + std::to_string(start) + "-" + std::to_string(end);
        return false;
    }
    bases.assign(fetched, static_cast<std::size_t>(length));
    std::free(fetched);
    return true;
}
