// The k-let shuffle (Altschul and Erickson; Kandel et al.; Jiang et al.):
// the sequence is a path through all edges of the multigraph whose
// vertices are its (k-1)-mers and whose edges are its k-mers (for k = 2,
// the four bases and the dinucleotides). Every such path from the same
// first vertex is a sequence of the same k-mer counts, and each is made by
// choosing, for every vertex but the last, which of its edges it leaves by
// last (those choices must form a tree towards the last vertex), and an
// order for its other edges. Taking the tree uniformly among all trees of
// distinct edges, and each order uniformly, makes every sequence equally
// likely: each arises from the same number of choices.
#include "shuffle.h"

#include <algorithm>
#include <array>

#include "bases.h"

std::uint64_t random_bits::next() {
    std::uint64_t z = state += 0x9e3779b97f4a7c15u;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

std::uint64_t random_bits::below(std::uint64_t n) {
    // Lemire's method: the high half of a 128-bit product, redrawn in the
    // few cases that would favour some results.
    unsigned __int128 product = static_cast<unsigned __int128>(next()) * n;
    auto low = static_cast<std::uint64_t>(product);
    if (low < n) {
        const std::uint64_t floor = (0 - n) % n;
        while (low < floor) {
            product = static_cast<unsigned __int128>(next()) * n;
            low = static_cast<std::uint64_t>(product);
        }
    }
    return static_cast<std::uint64_t>(product >> 64);
}

std::uint64_t record_seed(std::uint64_t seed, std::uint64_t record, std::uint64_t copy) {
    random_bits mix(seed);
    mix.state ^= random_bits(record * 0x100000001b3u + copy).next();
    return mix.next();
}

void shuffle_keeping(std::vector<std::uint8_t>& bases, std::size_t k, random_bits& random) {
    if (bases.size() < k + 1) return;
    // The vertices, (k-1)-mers as codes of 2 bits a base, one per position.
    const std::size_t vertices = std::size_t{1} << (2 * (k - 1));
    const std::uint8_t mask = static_cast<std::uint8_t>(vertices - 1);
    std::vector<std::uint8_t> path;
    std::uint8_t v = 0;
    for (std::size_t i = 0; i < bases.size(); ++i) {
        v = static_cast<std::uint8_t>((v << 2 | bases[i]) & mask);
        if (i + 2 >= k) path.push_back(v);
    }
    // Each vertex's edges: the vertices that follow it.
    std::array<std::vector<std::uint8_t>, 16> out;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) out[path[i]].push_back(path[i + 1]);
    const std::uint8_t first = path.front(), last = path.back();

    // The tree of last exits, by Wilson's loop-erased random walks: from each
    // vertex not yet in the tree, a walk along random edges (each edge alike)
    // until it meets the tree; the exits it took last, looped or not, join it.
    std::array<bool, 16> in_tree{};
    std::array<std::size_t, 16> exit_edge{};  // index into out[v] of v's last exit
    in_tree[last] = true;
    for (std::uint8_t start = 0; start < vertices; ++start) {
        if (in_tree[start] || out[start].empty()) continue;
        for (std::uint8_t u = start; !in_tree[u]; u = out[u][exit_edge[u]])
            exit_edge[u] = static_cast<std::size_t>(random.below(out[u].size()));
        for (std::uint8_t u = start; !in_tree[u]; u = out[u][exit_edge[u]]) in_tree[u] = true;
    }

    // Every vertex's other edges in a random order, its last exit at the end.
    for (std::uint8_t u = 0; u < vertices; ++u) {
        std::vector<std::uint8_t>& edges = out[u];
        if (edges.empty()) continue;
        const std::size_t end = u == last ? edges.size() : edges.size() - 1;
        if (u != last) std::swap(edges[exit_edge[u]], edges.back());
        for (std::size_t i = end; i > 1; --i) std::swap(edges[i - 1], edges[static_cast<std::size_t>(random.below(i))]);
    }

    // The walk: the first vertex's bases, then each next vertex's last base.
    std::array<std::size_t, 16> used{};
    bases.clear();
    for (std::size_t i = k - 1; i-- > 0;) bases.push_back(static_cast<std::uint8_t>(first >> (2 * i) & 3));
    for (std::uint8_t u = first; used[u] < out[u].size();) {
        u = out[u][used[u]++];
        bases.push_back(u & 3);
    }
}

std::string shuffled_record(const std::string& positions, std::size_t k, random_bits& random) {
    std::string shuffled = positions;
    std::vector<std::uint8_t> stretch;
    for (std::size_t at = 0; at < positions.size();) {
        if (base_code[static_cast<unsigned char>(positions[at])] > 3) {
            ++at;
            continue;
        }
        std::size_t end = at;
        stretch.clear();
        while (end < positions.size() && base_code[static_cast<unsigned char>(positions[end])] < 4)
            stretch.push_back(base_code[static_cast<unsigned char>(positions[end++])]);
        shuffle_keeping(stretch, k, random);
        for (std::size_t k = 0; k < stretch.size(); ++k) shuffled[at + k] = base_letters[stretch[k]];
        at = end;
    }
    return shuffled;
}
