// motif_compare's results: the table on standard output and the report page.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "comparing.h"

// The table: a header line, then for each query in order its matches by p,
// at most `top` each, tab-separated.
std::string comparison_table(const std::vector<motif>& queries, const std::vector<motif>& targets,
                             const std::vector<std::vector<motif_match>>& matches, std::size_t top);

// The report page: the settings, then each query's logo beside its matches'
// logos, aligned as they matched (the first ten of each query drawn).
std::string comparison_report(const std::vector<motif>& queries, const std::vector<motif>& targets,
                              const std::vector<std::vector<motif_match>>& matches, std::size_t top,
                              const std::vector<std::pair<std::string, std::string>>& settings);
