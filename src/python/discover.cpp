// discover(): motif_discover's motifs (its MEME text) and table, from the
// same reading of targets, drawing of controls and search, on the
// engine's own thread.
#include <pybind11/stl.h>

#include <algorithm>
#include <thread>

#include "comparing.h"
#include "controls.h"
#include "discover.h"
#include "discovery_report.h"
#include "engine.h"
#include "scan_options.h"

namespace {

struct search_request {
    long long nmotifs = 10, minw = 8, maxw = 15, shuffle_kmer = 3, null_searches = 50;
    double evalue = 0.05;
};

discover_settings settings_of(const search_request& request, std::optional<long long> threads) {
    discover_settings settings;
    settings.min_width = whole_in_range("minw", request.minw, max_discover_width);
    settings.max_width = whole_in_range("maxw", request.maxw, max_discover_width);
    if (settings.min_width < 3 || settings.max_width < 3)
        raise(PyExc_ValueError, "minw and maxw: " + std::to_string(std::min(settings.min_width, settings.max_width)) +
                                    " is below 3");
    if (settings.min_width > settings.max_width)
        raise(PyExc_ValueError, "minw " + std::to_string(settings.min_width) + " is above maxw " + std::to_string(settings.max_width));
    settings.motifs = whole_in_range("nmotifs", request.nmotifs, 100);
    if (!(request.evalue > 0)) raise(PyExc_ValueError, "evalue: " + std::to_string(request.evalue) + " is not above 0");
    settings.evalue = request.evalue;
    if (request.shuffle_kmer != 2 && request.shuffle_kmer != 3)
        raise(PyExc_ValueError, "shuffle_kmer: " + std::to_string(request.shuffle_kmer) + " is not 2 or 3");
    settings.shuffle_kmer = static_cast<std::size_t>(request.shuffle_kmer);
    const long long n = request.null_searches;
    if (n != 0 && (n < static_cast<long long>(least_null_searches) || n > static_cast<long long>(max_null_searches)))
        raise(PyExc_ValueError, "null_searches: " + std::to_string(n) + " is not 0 nor from " + std::to_string(least_null_searches) +
                                    " to " + std::to_string(max_null_searches));
    settings.null_searches = static_cast<std::size_t>(n);
    settings.threads = threads ? whole_in_range("threads", *threads, max_threads) : std::max(1u, std::thread::hardware_concurrency());
    return settings;
}

// The motifs as MEME text, the table's text and the background line it
// comes with ("" where uniform).
py::tuple discover(const sequence_source& targets, const std::optional<sequence_source>& controls, const search_request& request,
                   const drawing_request& request_drawing, const std::string& bg, const std::optional<std::vector<motif>>& known_motifs,
                   std::optional<long long> threads) {
    discover_settings search = settings_of(request, threads);
    region_options regions;
    control_drawing drawing;
    drawing_of(targets, request_drawing, search.shuffle_kmer, search.threads, regions, drawing);
    search.seed = drawing.seed;
    check_source_files(targets);
    if (controls) check_source_files(*controls);
    known_matches known;
    if (known_motifs) {
        for (const motif& m : *known_motifs)
            if (m.scores.empty() || m.scores.size() > max_compare_width)
                raise(PyExc_ValueError, m.id + ": " + std::to_string(m.scores.size()) + " positions, not 1 to " +
                                            std::to_string(max_compare_width));
        known.database = *known_motifs;
    }

    search_records records;
    report_captured(run_stoppable([&](const std::atomic<bool>&) {
        drawn_records drawn;
        if (!targets_and_controls(targets, controls, regions, drawing, drawn)) return;
        std::size_t short_targets = 0, short_controls = 0;
        records = records_for_search(std::move(drawn.targets), std::move(drawn.controls), drawn.control_target, search.min_width,
                                     short_targets, short_controls);
        if (short_targets || short_controls)
            print_error(program, "warning: " + std::to_string(short_targets) + " targets and " + std::to_string(short_controls) +
                                     " controls shorter than " + std::to_string(search.min_width) + " positions skipped");
        if (records.targets.empty() || records.controls.empty())
            print_error(program, std::string("no ") + (records.targets.empty() ? "target" : "control") + " of at least " +
                                     std::to_string(search.min_width) + " positions");
    }));
    // Sites are found on both strands.
    const base_frequencies given = background_of(bg, {}, false, [&](base_counts& counts) {
        count_records(records.targets, records.controls, counts);
        return true;
    });
    search.background = background_as_written(background_of_strands(given, scan_settings{}));

    discovery found;
    report_captured(run_stoppable([&](const std::atomic<bool>& stop) {
        warn_few_controls(program, records.targets.size(), records.controls.size());
        search.stop = &stop;
        found = discover_motifs(records, search, [](const found_motif&, std::size_t) {});
        if (stop || known.database.empty()) return;
        std::vector<motif> queries;
        for (std::size_t i = 0; i < found.motifs.size(); ++i) {
            motif q;
            q.id = identifier_of(found.motifs[i], i + 1);
            q.scores = found.motifs[i].scores;
            queries.push_back(q);
        }
        compare_settings settings;
        settings.threads = search.threads;
        settings.stop = &stop;
        known.matches = compare_motifs(queries, known.database, settings);
    }));
    return py::make_tuple(meme_text(found.motifs, search.background), discovery_table(found, known_motifs ? &known : nullptr),
                          search.background == uniform_bases ? "" : background_text(search.background));
}

}  // namespace

void define_discover(py::module_& module) {
    py::class_<search_request>(module, "SearchRequest")
        .def(py::init<>())
        .def_readwrite("nmotifs", &search_request::nmotifs)
        .def_readwrite("minw", &search_request::minw)
        .def_readwrite("maxw", &search_request::maxw)
        .def_readwrite("shuffle_kmer", &search_request::shuffle_kmer)
        .def_readwrite("null_searches", &search_request::null_searches)
        .def_readwrite("evalue", &search_request::evalue);
    module.def("discover", &discover, py::arg("targets"), py::arg("controls"), py::arg("search"), py::arg("drawing"), py::arg("bg"),
               py::arg("known"), py::arg("threads"));
}
