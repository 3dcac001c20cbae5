// enrich(): motif_enrich's table, from the same reading of targets,
// drawing of controls and scan, on the engine's own thread.
#include <pybind11/stl.h>

#include "controls.h"
#include "engine.h"
#include "kernels.h"
#include "known_enrichment.h"
#include "scan_options.h"

namespace {

// The table's text and the background line it comes with ("" where uniform).
py::tuple enrich(std::vector<motif> motifs, const sequence_source& targets, const std::optional<sequence_source>& controls,
                 bool by_score, double value, const std::string& strand, const std::string& bg, const std::string& count,
                 const drawing_request& request, std::optional<long long> threads) {
    if (motifs.empty()) raise(PyExc_ValueError, "no motifs to look for");
    scan_settings settings = scan_settings_of(strand, threads);
    threshold wanted = threshold_of(by_score, value);
    if (count != "records" && count != "sites") raise(PyExc_ValueError, "count: '" + count + "' is not records or sites");
    const counting counted = count == "records" ? counting::records : counting::sites;
    region_options regions;
    control_drawing drawing;
    drawing_of(targets, request, 2, settings.threads, regions, drawing);
    check_source_files(targets);
    if (controls) check_source_files(*controls);

    drawn_records records;
    report_captured(run_stoppable([&](const std::atomic<bool>&) {
        if (targets_and_controls(targets, controls, regions, drawing, records) && records.controls.empty())
            print_error(program, "no controls");
    }));
    const base_frequencies given = background_of(bg, motifs, true, [&](base_counts& counts) {
        count_records(records.targets, records.controls, counts);
        return true;
    });
    wanted.background = background_of_strands(given, settings);
    score_for_scanning(motifs, wanted);

    std::vector<enrichment> results;
    std::vector<scan_matrix> matrices;
    report_captured(run_stoppable([&](const std::atomic<bool>& stop) {
        matrices = prepare_matrices(motifs, wanted, settings.threads, &kernels_in_use(settings));
        warn_coarse_grids(program, matrices);
        warn_few_controls(program, records.targets.size(), records.controls.size());
        warn_unreachable(program, matrices, wanted);
        settings.stop = &stop;
        results = enrich_known_motifs(matrices, records.targets, records.controls, settings, counted);
    }));
    const base_frequencies& background = matrices.front().grid.background;
    return py::make_tuple(enrichment_table(results, motifs, counted), background == uniform_bases ? "" : background_text(background));
}

}  // namespace

void define_enrich(py::module_& module) {
    module.def("enrich", &enrich, py::arg("motifs"), py::arg("targets"), py::arg("controls"), py::arg("by_score"), py::arg("value"),
               py::arg("strand"), py::arg("bg"), py::arg("count"), py::arg("drawing"), py::arg("threads"));
}
