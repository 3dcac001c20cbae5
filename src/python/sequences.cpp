// Sequences as the module's callers give them: files, FASTA text, or
// records held by Python, read as the programs read FASTA; and the targets
// and controls of enrich and discover.
#include "engine.h"

#include <pybind11/stl.h>

#include "controls.h"
#include "fasta.h"
#include "kernels.h"

void check_source_files(const sequence_source& source) {
    if (source.kind == "fasta" || source.kind == "genome") check_readable(source.path);
    if (source.kind == "genome" && !source.regions.empty()) check_readable(source.regions);
}

bool records_of(const sequence_source& source, std::vector<sequence_record>& records) {
    if (source.kind == "fasta") return read_fasta_records(program, source.path, records);
    if (source.kind == "records") {
        for (std::size_t i = 0; i < source.sequences.size(); ++i) records.push_back({source.names[i], source.sequences[i]});
        return true;
    }
    // FASTA text, as read_fasta_records reads a file.
    const std::size_t first = records.size();
    fasta_reader reader(
        1 << 20, 0,
        [&](sequence_batch& full) {
            for (const sequence_piece& piece : full.pieces)
                records[first + piece.record_index].positions.append(full.bytes.data() + piece.begin, piece.length);
        },
        best_kernels());
    reader.record_named = [&](const std::string& name) { records.push_back({name, ""}); };
    std::string error;
    if (!reader.read(source.path.data(), source.path.size(), error)) {
        print_error(program, "text: " + error);
        return false;
    }
    reader.end();
    if (records.size() == first) {
        print_error(program, "text: no FASTA records");
        return false;
    }
    return true;
}

void drawing_of(const sequence_source& targets, const drawing_request& request, std::size_t kmer, unsigned threads,
                region_options& regions, control_drawing& drawing) {
    if (request.controls_from != "gc" && request.controls_from != "shuffle")
        raise(PyExc_ValueError, "background: '" + request.controls_from + "' is not gc or shuffle");
    if (request.seed < 0) raise(PyExc_ValueError, "seed: " + std::to_string(request.seed) + " is below 0");
    if (request.summits < 0) raise(PyExc_ValueError, "summits: " + std::to_string(request.summits) + " is below 0");
    drawing = {request.controls_from == "gc" ? background::gc : background::shuffle,
               whole_in_range("shuffles", request.shuffles, 1000), static_cast<std::uint64_t>(request.seed), kmer, threads, false};
    if (targets.kind != "genome") return;
    regions.genome = targets.path;
    regions.regions = targets.regions;
    regions.summits = request.summits;
    regions.skip_missing = request.skip_missing;
    regions.control_regions = request.control_regions;
    if (!regions.control_regions.empty()) check_readable(regions.control_regions);
}

bool targets_and_controls(const sequence_source& targets, const std::optional<sequence_source>& controls,
                          const region_options& regions, const control_drawing& drawing, drawn_records& records) {
    if (!regions.regions.empty()) {
        region_records from_genome;
        if (!read_region_records(program, regions, drawing, from_genome)) return false;
        records.targets = std::move(from_genome.targets);
        records.controls = std::move(from_genome.controls);
        records.control_target = std::move(from_genome.control_target);
        return true;
    }
    if (!records_of(targets, records.targets)) return false;
    if (controls) return records_of(*controls, records.controls);
    records.controls = shuffled_controls(records.targets, drawing.per_target, drawing.seed, drawing.threads, drawing.kmer);
    for (std::size_t i = 0; i < records.controls.size(); ++i) records.control_target.push_back(i / drawing.per_target);
    return true;
}

void count_records(const std::vector<sequence_record>& targets, const std::vector<sequence_record>& controls, base_counts& counts) {
    for (const auto* set : {&targets, &controls})
        for (const sequence_record& r : *set) counts.add(r.positions.data(), r.positions.size());
}

void define_sequences(py::module_& module) {
    py::class_<sequence_source>(module, "SequenceSource")
        .def(py::init<>())
        .def_readwrite("kind", &sequence_source::kind)
        .def_readwrite("path", &sequence_source::path)
        .def_readwrite("names", &sequence_source::names)
        .def_readwrite("sequences", &sequence_source::sequences)
        .def_readwrite("regions", &sequence_source::regions)
        .def_readwrite("chromosomes", &sequence_source::chromosomes)
        .def_readwrite("starts", &sequence_source::starts)
        .def_readwrite("ends", &sequence_source::ends);
    py::class_<drawing_request>(module, "DrawingRequest")
        .def(py::init<>())
        .def_readwrite("controls_from", &drawing_request::controls_from)
        .def_readwrite("control_regions", &drawing_request::control_regions)
        .def_readwrite("shuffles", &drawing_request::shuffles)
        .def_readwrite("seed", &drawing_request::seed)
        .def_readwrite("summits", &drawing_request::summits)
        .def_readwrite("skip_missing", &drawing_request::skip_missing);
}
