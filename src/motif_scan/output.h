// motif_scan's output: one tab-separated line per site.
#pragma once

#include <string>

#include "fasta.h"
#include "scanning.h"

// Writes `value` as printf's "%.<precision>g" would and returns the end;
// `out` needs room for 32 characters.
char* format_general(char* out, double value, int precision);

// Appends the line of a site: name, start, end, motif, score (%g), strand,
// p-value (%.3g) and the window's bytes (`window`, as read; reverse
// complemented on the minus strand).
void append_site(std::string& out, const std::string& record, const site& s, const scan_matrix& matrix,
                 const char* window);

// The line of a site of a batch.
inline void append_site(std::string& out, const sequence_batch& batch, const site& s, const scan_matrix& matrix) {
    const sequence_piece& piece = batch.pieces[s.piece];
    append_site(out, piece.record, s, matrix, batch.bytes.data() + piece.begin + (s.start - piece.first_position));
}
