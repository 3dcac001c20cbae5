// Reading the base counts of a motif file. A large regular file is cut at
// line starts into one part per core, and the parts are counted at once;
// since every part starts at a line start, adding their counts gives the
// counts of the whole file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "motif_matrix.h"

namespace {

constexpr std::size_t block_size = std::size_t{1} << 18;
// Each part holds its own counts, which grow with the motif's width.
constexpr unsigned max_parts = 4;

struct part {
    off_t begin = 0;
    off_t end = -1;  // -1: to the end of the file
    fast_motif_counts fast;
    int error = 0;   // errno of a failed read
};

void count_part(int fd, part& p) {
    std::vector<char> block(block_size);
    for (off_t at = p.begin; p.end < 0 || at < p.end;) {
        std::size_t want = block_size;
        if (p.end >= 0) want = std::min(want, static_cast<std::size_t>(p.end - at));
        const ssize_t got = ::pread(fd, block.data(), want, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            p.error = errno;
            return;
        }
        if (got == 0) break;
        count_block(p.fast, block.data(), static_cast<std::size_t>(got));
        if (p.fast.motif.too_long) return;
        at += got;
    }
    count_block_end(p.fast);
}

// Offset just past the first line feed at or after `from`, or -1 if there is
// none (or the file cannot be read there: the part's own reading reports it).
off_t line_start_after(int fd, off_t from) {
    char block[1 << 14];
    for (;;) {
        const ssize_t got = ::pread(fd, block, sizeof block, from);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return -1;
        if (const void* line_feed = std::memchr(block, '\n', static_cast<std::size_t>(got)))
            return from + (static_cast<const char*>(line_feed) - block) + 1;
        from += got;
    }
}

// Cuts a regular file of `size` bytes into parts of about equal size, each
// beginning at a line start; a file too small to share gets one part.
std::vector<part> cut_into_parts(int fd, off_t size, off_t part_size) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto wanted = static_cast<unsigned>(std::min<off_t>({cores, max_parts, std::max<off_t>(1, size / part_size)}));
    std::vector<part> parts(1);
    for (unsigned k = 1; k < wanted; ++k) {
        const off_t cut = line_start_after(fd, size / wanted * k);
        if (cut < 0 || cut >= size) break;
        if (cut <= parts.back().begin) continue;  // one long line spans the cut
        parts.back().end = cut;
        parts.emplace_back().begin = cut;
    }
    return parts;
}

}  // namespace

bool read_motif(int fd, const std::string& name, motif_counts& motif, std::int64_t part_size) {
    // An input that cannot be positioned (a pipe, a terminal) is refused, as
    // its bytes could not be read again from the start.
    struct stat file;
    if (::lseek(fd, 0, SEEK_SET) != 0 || ::fstat(fd, &file) != 0) {
        report_failure("cannot read motif file", name, std::strerror(errno));
        return false;
    }
    std::vector<part> parts = S_ISREG(file.st_mode) ? cut_into_parts(fd, file.st_size, std::max<off_t>(1, part_size)) : std::vector<part>(1);

    std::vector<std::thread> helpers;
    helpers.reserve(parts.size());
    for (std::size_t k = 1; k < parts.size(); ++k) {
        try {
            helpers.emplace_back(count_part, fd, std::ref(parts[k]));
        } catch (const std::system_error&) {
            count_part(fd, parts[k]);  // no thread to be had: count it here
        }
    }
    count_part(fd, parts[0]);
    for (auto& helper : helpers) helper.join();

    // The first failure in file order is the one reported.
    for (const part& p : parts) {
        if (p.error != 0) {
            report_failure("cannot read motif file", name, std::strerror(p.error));
            return false;
        }
        if (p.fast.motif.too_long) {
            const std::string reason = "a line is longer than " + std::to_string(max_width) + " positions";
            report_failure("cannot read motif file", name, reason.c_str());
            return false;
        }
    }
    motif = std::move(parts[0].fast.motif);
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const motif_counts& later = parts[k].fast.motif;
        motif.n += later.n;
        if (later.n > 0) motif.width = later.width;  // the last sequence line sets the width
        if (later.counts.size() > motif.counts.size()) motif.counts.resize(later.counts.size());
        for (std::size_t c = 0; c < later.counts.size(); ++c) motif.counts[c] += later.counts[c];
    }
    return true;
}
