// The dinucleotide shuffle (Altschul and Erickson; Kandel et al.): the
// sequence is a path through all edges of the multigraph whose vertices are
// the four bases and whose edges are its dinucleotides. Every such path
// with the same first base is a sequence of the same dinucleotide counts,
// and each is made by choosing, for every base but the last, which of its
// edges it leaves by last (those choices must form a tree towards the last
// base), and an order for its other edges. Taking the tree uniformly among
// all trees of distinct edges, and each order uniformly, makes every
// sequence equally likely: each arises from the same number of choices.
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

void shuffle_dinucleotides(std::vector<std::uint8_t>& bases, random_bits& random) {
    if (bases.size() < 3) return;
    // Each base's edges: the bases that follow it.
    std::array<std::vector<std::uint8_t>, 4> out;
    for (std::size_t i = 0; i + 1 < bases.size(); ++i) out[bases[i]].push_back(bases[i + 1]);
    const std::uint8_t first = bases.front(), last = bases.back();

    // The tree of last exits, by Wilson's loop-erased random walks: from each
    // base not yet in the tree, a walk along random edges (each edge alike)
    // until it meets the tree; the exits it took last, looped or not, join it.
    std::array<bool, 4> in_tree{};
    std::array<std::size_t, 4> exit_edge{};  // index into out[v] of v's last exit
    in_tree[last] = true;
    for (std::uint8_t start = 0; start < 4; ++start) {
        if (in_tree[start] || out[start].empty()) continue;
        for (std::uint8_t v = start; !in_tree[v]; v = out[v][exit_edge[v]])
            exit_edge[v] = static_cast<std::size_t>(random.below(out[v].size()));
        for (std::uint8_t v = start; !in_tree[v]; v = out[v][exit_edge[v]]) in_tree[v] = true;
    }

    // Every base's other edges in a random order, its last exit at the end.
    for (std::uint8_t v = 0; v < 4; ++v) {
        std::vector<std::uint8_t>& edges = out[v];
        if (edges.empty()) continue;
        const std::size_t end = v == last ? edges.size() : edges.size() - 1;
        if (v != last) std::swap(edges[exit_edge[v]], edges.back());
        for (std::size_t i = end; i > 1; --i) std::swap(edges[i - 1], edges[static_cast<std::size_t>(random.below(i))]);
    }

    // The path: from the first base, each base's edges in their order.
    std::array<std::size_t, 4> used{};
    bases.clear();
    bases.push_back(first);
    for (std::uint8_t v = first; used[v] < out[v].size();) {
        v = out[v][used[v]++];
        bases.push_back(v);
    }
}

std::string shuffled_record(const std::string& positions, random_bits& random) {
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
        shuffle_dinucleotides(stretch, random);
        for (std::size_t k = 0; k < stretch.size(); ++k) shuffled[at + k] = base_letters[stretch[k]];
        at = end;
    }
    return shuffled;
}
