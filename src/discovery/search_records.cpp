#include <cstdint>

#include "discover.h"

namespace {

// The records of at least `width` positions, and how many were shorter;
// `kept_at` gives each record's place among those kept (SIZE_MAX: dropped).
std::size_t keep_long_enough(std::vector<sequence_record>& records, std::size_t width, std::vector<std::size_t>& kept_at) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        kept_at.push_back(records[i].positions.size() >= width ? kept : SIZE_MAX);
        if (records[i].positions.size() < width) continue;
        if (kept != i) records[kept] = std::move(records[i]);  // a string moved onto itself may be emptied
        ++kept;
    }
    const std::size_t shorter = records.size() - kept;
    records.resize(kept);
    return shorter;
}

}  // namespace

search_records records_for_search(std::vector<sequence_record> targets, std::vector<sequence_record> controls,
                                  const std::vector<std::size_t>& control_target, std::size_t min_width,
                                  std::size_t& short_targets, std::size_t& short_controls) {
    // Records too short for the least width have no window to offer.
    search_records records;
    std::vector<std::size_t> target_kept_at, control_kept_at;
    short_targets = keep_long_enough(targets, min_width, target_kept_at);
    short_controls = keep_long_enough(controls, min_width, control_kept_at);
    records.source.assign(controls.size(), -1);
    for (std::size_t i = 0; i < control_target.size(); ++i) {
        const std::size_t control = control_kept_at[i], target = target_kept_at[control_target[i]];
        if (control != SIZE_MAX && target != SIZE_MAX) records.source[control] = static_cast<std::int64_t>(target);
    }
    records.targets = std::move(targets);
    records.controls = std::move(controls);
    return records;
}
