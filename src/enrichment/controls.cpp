#include "controls.h"

#include "parallel_for.h"
#include "report.h"
#include "shuffle.h"

std::vector<sequence_record> shuffled_controls(const std::vector<sequence_record>& targets, std::uint64_t shuffles,
                                               std::uint64_t seed, unsigned threads, std::size_t k) {
    std::vector<sequence_record> controls(checked_product(targets.size(), shuffles));
    parallel_for(controls.size(), threads, [&](std::size_t i) {
        const std::size_t target = i / shuffles, copy = i % shuffles;
        random_bits random(record_seed(seed, target, copy));
        controls[i] = {targets[target].name + "_shuffle" + std::to_string(copy + 1),
                       shuffled_record(targets[target].positions, k, random)};
    });
    return controls;
}

std::string as_fasta(const std::vector<sequence_record>& records) {
    std::string text;
    for (const sequence_record& r : records) {
        text += ">" + r.name + "\n";
        for (std::size_t at = 0; at < r.positions.size(); at += 60) text += r.positions.substr(at, 60) + "\n";
    }
    return text;
}

void warn_few_controls(const char* program, std::size_t targets, std::size_t controls) {
    if (controls * 10 >= targets) return;
    print_error(program, "warning: " + std::to_string(controls) + (controls == 1 ? " control" : " controls") + " for " +
                             std::to_string(targets) + " targets: fewer than a tenth as many, too few to find a motif enriched");
}
