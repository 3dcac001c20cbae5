#include "genome.h"

#include <htslib/bgzf.h>
#include <htslib/faidx.h>
#include <htslib/hts_log.h>
#include <htslib/kstring.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "report.h"

namespace {

faidx_t* index_of(const genome_file& genome) { return static_cast<faidx_t*>(genome.index.get()); }
BGZF* raw_of(const genome_file& genome) { return static_cast<BGZF*>(genome.raw.get()); }

// Older by more than a second: files copied or checked out together may
// land in any order within one.
bool older(const struct stat& index, const struct stat& file) { return index.st_mtim.tv_sec + 1 < file.st_mtim.tv_sec; }

// gzip's magic, and bgzip's extra field BC in it.
void compression_of(const std::string& path, bool& gzip, bool& bgzip) {
    unsigned char head[18] = {};
    std::FILE* in = std::fopen(path.c_str(), "rb");
    const std::size_t got = in ? std::fread(head, 1, sizeof head, in) : 0;
    if (in) std::fclose(in);
    gzip = got >= 2 && head[0] == 0x1f && head[1] == 0x8b;
    bgzip = gzip && got == sizeof head && (head[3] & 4) && head[12] == 'B' && head[13] == 'C';
}

// Up to `n` bytes of the file from `at` (fewer at its end); false where it
// cannot be read there.
bool read_at(BGZF* raw, std::int64_t at, std::size_t n, std::string& bytes) {
    bytes.assign(n, '\0');
    if (bgzf_useek(raw, static_cast<off_t>(at), SEEK_SET) < 0) return false;
    const ssize_t got = bgzf_read(raw, bytes.data(), n);
    if (got < 0) return false;
    bytes.resize(static_cast<std::size_t>(got));
    return true;
}

// What may follow a record's name on its header line.
bool ends_name(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The name of a header line: after '>', up to the first blank.
std::string header_name(const std::string& line) {
    return line.substr(1, line.find_first_of(" \t\r\n") - 1);
}

// Why htslib could not index a file, or indexed it other than it is: the
// first thing in it faidx cannot take, or "" for none found.
std::string why_not_indexed(const std::string& path) {
    BGZF* in = bgzf_open(path.c_str(), "r");
    if (!in) return "";
    std::string reason;
    if (in->is_compressed && bgzf_check_EOF(in) == 0) reason = "truncated: its bgzip end-of-file block is missing";
    kstring_t line = KS_INITIALIZE;
    std::string record;
    std::uint64_t number = 0, short_line = 0;
    std::int64_t width = -1, bases = 0, short_length = 0;
    const auto uneven = [&](std::uint64_t at, std::int64_t length) {
        return "uneven lines: record " + cut_name(record) + " line " + std::to_string(at) + " has " + std::to_string(length) +
               " bases, its first " + std::to_string(width) + " (faidx needs lines of one length but the last)";
    };
    bool any = false;
    int got = 0;
    while (reason.empty() && (got = bgzf_getline(in, '\n', &line)) >= 0) {
        ++number;
        std::size_t n = line.l;
        if (n > 0 && line.s[n - 1] == '\r') --n;
        if (n > 0 && line.s[0] == '>') {
            if (any && bases == 0) reason = "record " + cut_name(record) + " is empty: faidx indexes no record without bases";
            record = header_name(std::string(line.s, n));
            any = true;
            width = -1;
            bases = short_line = 0;
            continue;
        }
        if (!any) {
            if (n > 0) reason = "not FASTA: line " + std::to_string(number) + " comes before any '>' header line";
            continue;
        }
        // Only a record's last line may be shorter than its first; none longer.
        const auto length = static_cast<std::int64_t>(n);
        if (width < 0) {
            width = length;
        } else if (length > width) {
            reason = uneven(number, length);
        } else if (short_line > 0 && length > 0) {
            reason = uneven(short_line, short_length);
        } else if (length < width && short_line == 0) {
            short_line = number;
            short_length = length;
        }
        bases += length;
    }
    if (reason.empty() && (got < -1 || in->errcode)) reason = "truncated or corrupt bgzip data";
    if (reason.empty() && any && bases == 0) reason = "record " + cut_name(record) + " is empty: faidx indexes no record without bases";
    if (reason.empty() && !any) reason = "not FASTA: no '>' header line";
    ks_free(&line);
    bgzf_close(in);
    return reason;
}

// The chromosomes of the index, their lengths and layouts, and where each
// header line starts: right after the record before it in the file.
bool read_fai(const std::string& path, genome_file& genome, std::string& error) {
    std::ifstream in(path + ".fai");
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        long long length = 0, offset = 0, line_bases = 0, line_bytes = 0;
        if (tab == std::string::npos ||
            std::sscanf(line.c_str() + tab, "%lld %lld %lld %lld", &length, &offset, &line_bases, &line_bytes) != 4 ||
            length < 0 || offset <= 0 || (length > 0 && (line_bases <= 0 || line_bytes <= line_bases || line_bytes > line_bases + 2))) {
            error = path + ".fai: not a faidx index (line " + std::to_string(genome.chromosomes.size() + 1) + ")";
            return false;
        }
        genome.chromosomes.emplace_back(line.substr(0, tab), length);
        genome_file::layout l;
        l.offset = offset;
        l.line_bases = line_bases;
        l.line_bytes = line_bytes;
        genome.layouts.push_back(l);
    }
    std::vector<std::size_t> order(genome.layouts.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return genome.layouts[a].offset < genome.layouts[b].offset; });
    std::int64_t end = 0;
    for (const std::size_t i : order) {
        genome_file::layout& l = genome.layouts[i];
        const std::int64_t length = genome.chromosomes[i].second;
        l.header = end;
        end = l.offset;
        if (length > 0)
            end += (length - 1) / l.line_bases * l.line_bytes + (length - 1) % l.line_bases + 1 + (l.line_bytes - l.line_bases);
    }
    if (!order.empty()) genome.layouts[order.back()].last = true;
    return true;
}

}  // namespace

std::int64_t genome_file::place_of(const std::string& chromosome) const {
    const auto at = std::lower_bound(by_name.begin(), by_name.end(), std::make_pair(chromosome, std::size_t{0}));
    return at != by_name.end() && at->first == chromosome ? static_cast<std::int64_t>(at->second) : -1;
}

std::string not_as_indexed(const genome_file& genome, const std::string& record) {
    return genome.path + ": record " + cut_name(record) + " is not as the index " + genome.path +
           ".fai has it (an index of an older file? rebuild it with samtools faidx)";
}

bool check_record(const genome_file& genome, std::size_t place, std::string& error) {
    const genome_file::layout& l = genome.layouts[place];
    const std::string& name = genome.chromosomes[place].first;
    const std::int64_t length = genome.chromosomes[place].second;
    BGZF* raw = raw_of(genome);
    const auto fail = [&](const std::string& found) {
        // A header line `found` of a name the index places elsewhere, before
        // this record or as this record: the name taken twice, of which
        // faidx indexes the first only.
        const std::int64_t other = found.empty() ? -1 : genome.place_of(found);
        error = other >= 0 && (found == name || genome.layouts[static_cast<std::size_t>(other)].offset < l.offset)
                    ? genome.path + ": two records named " + cut_name(found) + " (faidx reads the first only)"
                    : not_as_indexed(genome, name);
        return false;
    };
    // The header line, after any blank lines between records: '>' and the
    // name, then a blank or the line's end, and no other line before the
    // first base.
    const std::int64_t span = l.offset - l.header;
    std::string bytes;
    if (span < static_cast<std::int64_t>(name.size()) + 2 ||
        !read_at(raw, l.header, static_cast<std::size_t>(std::min<std::int64_t>(span, static_cast<std::int64_t>(name.size()) + (1 << 16))), bytes))
        return fail("");
    const std::size_t blank = std::min(bytes.find_first_not_of("\r\n"), bytes.size());
    const bool whole = static_cast<std::int64_t>(bytes.size()) == span;
    bytes.erase(0, blank);
    if (bytes.empty() || bytes[0] != '>') return fail("");
    if (bytes.size() < name.size() + 2 || bytes.compare(1, name.size(), name) != 0 || !ends_name(bytes[name.size() + 1]))
        return fail(header_name(bytes));
    const std::size_t line_end = bytes.find('\n');
    if (whole ? line_end != bytes.size() - 1 : line_end != std::string::npos) return fail("");
    if (length == 0) return true;
    // The first line's end, and the last base's.
    const auto is_base = [](char c) { return c > ' ' && c < 127 && c != '>'; };
    const auto line_ends = [](const std::string& b, std::size_t at) {
        return (at < b.size() && b[at] == '\n') || (at + 1 < b.size() && b[at] == '\r' && b[at + 1] == '\n');
    };
    if (length > l.line_bases && (!read_at(raw, l.offset + l.line_bases - 1, 3, bytes) || bytes.size() < 2 ||
                                   !is_base(bytes[0]) || !line_ends(bytes, 1)))
        return fail("");
    const std::int64_t last = l.offset + (length - 1) / l.line_bases * l.line_bytes + (length - 1) % l.line_bases;
    const auto ending = static_cast<std::size_t>(l.line_bytes - l.line_bases);
    if (!read_at(raw, last, 1 + ending + 64 + name.size() + 2, bytes) || bytes.empty() || !is_base(bytes[0])) return fail("");
    if (bytes.size() == 1 && l.last) return true;  // the file's last line, without its line feed
    if (!line_ends(bytes, 1)) return fail("");
    // Then, past any blank lines: the file's end, or a record's header
    // line, not of this name again, and of one the index has where this
    // record is the last it has.
    std::string after = bytes.substr(1 + ending);
    after.erase(0, std::min(after.find_first_not_of("\r\n"), after.size()));
    if (after.empty()) return true;
    if (after[0] != '>') return fail("");
    if (after.size() >= name.size() + 2 && after.compare(1, name.size(), name) == 0 && ends_name(after[name.size() + 1]))
        return fail(name);
    return l.last ? fail(header_name(after)) : true;
}

bool open_genome(const std::string& path, genome_file& genome, std::string& error) {
    // htslib's own messages are several lines, some of them warnings: this
    // program says what went wrong in one.
    hts_set_log_level(HTS_LOG_OFF);
    struct stat file;
    if (::stat(path.c_str(), &file) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(file.st_mode)) {
        error = path + ": is a directory, not a FASTA file";
        return false;
    }
    bool gzip = false, bgzip = false;
    compression_of(path, gzip, bgzip);
    if (gzip && !bgzip) {
        error = path + ": cannot index it: compressed with gzip rather than bgzip (recompress it with bgzip)";
        return false;
    }
    // What htslib would build, checked first: it cannot tell a folder it
    // may not write to (and may crash on one).
    std::vector<std::string> missing;
    for (const char* suffix : {".fai", ".gzi"}) {
        if (!bgzip && suffix[1] == 'g') continue;
        struct stat index;
        if (::stat((path + suffix).c_str(), &index) != 0) {
            missing.push_back(path + suffix);
        } else if (older(index, file)) {
            error = path + suffix + ": older than " + path + ", so perhaps of another file: rebuild it with samtools faidx";
            return false;
        }
    }
    const bool build = !missing.empty();
    if (build) {
        const std::string folder = path.substr(0, path.find_last_of('/') + 1) + ".";
        if (::access(folder.c_str(), W_OK) != 0) {
            error = path + ": no index " + missing[0] + ", and its folder is not writable to build it: its owner can run " +
                    "samtools faidx on it, or give --genome a copy in a writable folder";
            return false;
        }
        if (fai_build3(path.c_str(), nullptr, nullptr) != 0) {
            const std::string why = why_not_indexed(path);
            error = path + ": " + (why.empty() ? "cannot index it: not FASTA, or compressed with gzip rather than bgzip" : why);
            return false;
        }
    }
    if (bgzip) {
        BGZF* in = bgzf_open(path.c_str(), "r");
        const bool readable = in && bgzf_index_load(in, path.c_str(), ".gzi") == 0;
        if (in) bgzf_close(in);
        if (!readable) {
            error = path + ".gzi: not a bgzip index of " + path + " (rebuild it with samtools faidx)";
            return false;
        }
    }
    faidx_t* index = fai_load3(path.c_str(), nullptr, nullptr, 0);
    if (!index) {
        error = path + ": cannot read it with its index " + path + ".fai" + (bgzip ? " and " + path + ".gzi" : "");
        return false;
    }
    // Regions are read in the genome's order, several to a bgzip block:
    // each block is decompressed once.
    fai_set_cache_size(index, 1 << 20);
    genome.path = path;
    genome.index = std::shared_ptr<void>(index, [](void* fai) { fai_destroy(static_cast<faidx_t*>(fai)); });
    genome.chromosomes.clear();
    genome.layouts.clear();
    genome.by_name.clear();
    if (!read_fai(path, genome, error)) return false;
    BGZF* raw = bgzf_open(path.c_str(), "r");
    if (!raw || (bgzip && bgzf_index_load(raw, path.c_str(), ".gzi") != 0)) {
        if (raw) bgzf_close(raw);
        error = path + ": cannot read it with its index " + path + ".gzi";
        return false;
    }
    genome.raw = std::shared_ptr<void>(raw, [](void* in) { bgzf_close(static_cast<BGZF*>(in)); });
    for (std::size_t i = 0; i < genome.chromosomes.size(); ++i) genome.by_name.emplace_back(genome.chromosomes[i].first, i);
    std::sort(genome.by_name.begin(), genome.by_name.end());
    for (std::size_t i = 1; i < genome.by_name.size(); ++i)
        if (genome.by_name[i].first == genome.by_name[i - 1].first) {
            error = path + ".fai: " + cut_name(genome.by_name[i].first) + " indexed twice";
            return false;
        }
    genome.checked.assign(genome.chromosomes.size(), 0);
    // An index just built is of this file, but faidx passes over a second
    // record of a name, and an empty one: every record is checked once, here.
    if (build)
        for (std::size_t i = 0; i < genome.chromosomes.size(); ++i) {
            if (!check_record(genome, i, error)) {
                const std::string why = why_not_indexed(path);
                if (!why.empty()) error = path + ": " + why;
                // Not left to be trusted by the next run.
                for (const std::string& built : missing) ::unlink(built.c_str());
                return false;
            }
            genome.checked[i] = 1;
        }
    return true;
}

bool fetch_bases(const genome_file& genome, const std::string& chromosome, std::int64_t start, std::int64_t end,
                 std::string& bases, std::string& error) {
    bases.clear();
    if (end <= start) return true;
    const std::int64_t place = genome.place_of(chromosome);
    if (place >= 0 && !genome.checked[static_cast<std::size_t>(place)]) {
        if (!check_record(genome, static_cast<std::size_t>(place), error)) return false;
        genome.checked[static_cast<std::size_t>(place)] = 1;
    }
    hts_pos_t length = 0;
    char* fetched = faidx_fetch_seq64(index_of(genome), chromosome.c_str(), start, end - 1, &length);
    if (!fetched || length != end - start || std::memchr(fetched, '>', static_cast<std::size_t>(length))) {
        std::free(fetched);
        error = place >= 0 && fetched ? not_as_indexed(genome, chromosome)
                                      : genome.path + ": cannot read " + cut_name(chromosome) + ":" + std::to_string(start) + "-" +
                                            std::to_string(end);
        return false;
    }
    bases.assign(fetched, static_cast<std::size_t>(length));
    std::free(fetched);
    return true;
}
