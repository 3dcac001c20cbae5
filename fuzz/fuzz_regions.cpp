// Any bytes as a BED or narrowPeak file: the reader either refuses them
// with one line naming the file and the line, or returns regions that lie
// in order of their lines, start no later than they end, hold their summit,
// and name a chromosome that stays in one column; centred on their summits
// they keep the width asked for.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "regions.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_regions: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("regions", 0);
    check(fd >= 0, "memfd_create failed");
    check(::write(fd, data, size) == static_cast<ssize_t>(size), "cannot fill the file");
    ::lseek(fd, 0, SEEK_SET);
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::vector<genome_region> regions;
    std::string error;
    const bool ok = read_regions(path, regions, error);
    ::close(fd);
    if (!ok) {
        check(error.rfind(path + ": ", 0) == 0, "an error does not start with the file's name");
        check(error.find('\n') == std::string::npos, "an error is more than one line");
        return 0;
    }
    std::uint64_t line = 0;
    for (const genome_region& r : regions) {
        check(r.line > line, "regions out of the order of their lines");
        line = r.line;
        check(!r.chromosome.empty() && r.chromosome.find_first_of("\t\n") == std::string::npos,
              "a chromosome name would split a column");
        check(0 <= r.start && r.start <= r.end, "a region ends before it starts");
        check(r.summit == -1 || (r.start <= r.summit && r.summit < r.end), "a summit outside its region");
    }
    const std::int64_t width = 1 + static_cast<std::int64_t>(size % 1000);
    centre_regions(regions, width);
    for (const genome_region& r : regions) check(r.end - r.start == width, "a centred region of another width");
    return 0;
}
