#include "shipped_motifs.h"

#include <unistd.h>

#include <climits>

namespace {

bool readable(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

}  // namespace

std::string shipped_motifs_path() {
    // /proc/self/exe rather than argv[0]: it holds wherever the program was
    // started from and through whatever links.
    char exe[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return {};
    const std::string path(exe, static_cast<std::size_t>(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    for (const std::string& candidate : {folder + "../" MOTIF_DATADIR "/motif-tools/", folder, folder + "../examples/"})
        if (readable(candidate + shipped_motifs_name)) return candidate + shipped_motifs_name;
    return {};
}
