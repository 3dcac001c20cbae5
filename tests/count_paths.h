// Counting a text through either counting path, in blocks of a given size.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "motif_matrix.h"

enum class count_path { plain, fast };

inline motif_counts count_with(count_path path, const std::string& text, std::size_t piece) {
    auto in_pieces = [&](auto count_piece) {
        for (std::size_t at = 0; at < text.size(); at += piece)
            count_piece(text.data() + at, std::min(piece, text.size() - at));
    };
    if (path == count_path::plain) {
        motif_counts motif;
        in_pieces([&](const char* data, std::size_t size) { count_bytes(motif, data, size); });
        count_end(motif);
        return motif;
    }
    fast_motif_counts fast;
    in_pieces([&](const char* data, std::size_t size) { count_block(fast, data, size); });
    count_block_end(fast);
    return std::move(fast.motif);
}

inline std::string count_path_name(const testing::TestParamInfo<count_path>& info) {
    return info.param == count_path::plain ? "plain" : "fast";
}
