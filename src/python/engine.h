// What the parts of the Python module's engine share: Python's exceptions
// and warnings from the libraries' one-line messages, motifs and sequences
// as the libraries take them, and runs of the engine that Ctrl-C stops.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base_counts.h"
#include "motif.h"
#include "region_records.h"
#include "report.h"
#include "scan_input.h"

namespace py = pybind11;

// The name the libraries' messages are given for; the module drops it.
inline constexpr const char* program = "motif_tools";

// Raises a Python exception of `type` (ValueError, ...) with `message`.
[[noreturn]] void raise(PyObject* type, const std::string& message);

// Raises OSError (FileNotFoundError, IsADirectoryError, ...) as the
// programs would refuse `path`, if it cannot be opened for reading or is a
// folder; the rest of its faults (its content) are ValueError's.
void check_readable(const std::string& path);

// The captured lines that are warnings become Python warnings; the last
// other line, if any, is raised as `type`.
void report_captured(const std::vector<std::string>& lines, PyObject* type = PyExc_ValueError);

// A whole number option from 1 to `most`, or ValueError naming it.
unsigned whole_in_range(const char* name, long long value, unsigned most);

// Runs `work` on a thread of its own while the caller's waits without the
// GIL, looking for Ctrl-C every 100 ms: then `stop` is set, the work
// awaited (it ends soon where it heeds `stop`) and KeyboardInterrupt
// raised. Returns the lines of the messages the work printed; what it
// throws is thrown again.
std::vector<std::string> run_stoppable(const std::function<void(const std::atomic<bool>& stop)>& work);

// Where sequences come from, as the Python side sorts them out.
struct sequence_source {
    std::string kind;  // "fasta" (a file), "text" (FASTA text), "records" or "genome"
    std::string path;  // the FASTA file, the FASTA text or the genome
    std::vector<std::string> names, sequences;  // records
    std::string regions;                        // a BED file, or else:
    std::vector<std::string> chromosomes;
    std::vector<std::int64_t> starts, ends;
};

// Raises OSError for the files of `source` that cannot be read.
void check_source_files(const sequence_source& source);

// The records of a FASTA file or text, read as the programs read a FASTA
// file, or those given; false after printing a failure.
bool records_of(const sequence_source& source, std::vector<sequence_record>& records);

// The targets and controls of enrich and discover, and each control's
// target where it has one.
struct drawn_records {
    std::vector<sequence_record> targets, controls;
    std::vector<std::size_t> control_target;
};

// How the controls are drawn, as the module's arguments give it.
struct drawing_request {
    std::string controls_from = "gc", control_regions;
    long long shuffles = 1, seed = 1, summits = 0;
    bool skip_missing = false;
};

// The regions (where the targets' source is a genome) and the drawing of
// controls (shuffles keeping k-mers of `kmer`) from the request, checked:
// `controls_from` gc or shuffle, `shuffles` 1 to 1000, `seed` and `summits`
// (0: the regions as given) at least 0.
void drawing_of(const sequence_source& targets, const drawing_request& request, std::size_t kmer, unsigned threads,
                region_options& regions, control_drawing& drawing);

// Targets and their controls as motif_enrich and motif_discover read and
// draw them: records given, and controls given or the targets shuffled; or
// with `regions`, regions of the genome and controls drawn there or given
// as regions. False after printing a failure.
bool targets_and_controls(const sequence_source& targets, const std::optional<sequence_source>& controls,
                          const region_options& regions, const control_drawing& drawing, drawn_records& records);

// bg auto's counts: the bases of targets and controls.
void count_records(const std::vector<sequence_record>& targets, const std::vector<sequence_record>& controls, base_counts& counts);

// What scan and enrich take alike: strands and threads, the threshold
// (p-value or score), checked.
scan_settings scan_settings_of(const std::string& strand, std::optional<long long> threads);
threshold threshold_of(bool by_score, double value);

// The frequencies of bg: given, a background file, the first MEME motif's
// line ("motif", where `of_motifs`), or ("auto") the bases `count` counts,
// which prints a failure and returns false.
base_frequencies background_of(const std::string& bg, const std::vector<motif>& motifs, bool of_motifs,
                               const std::function<bool(base_counts&)>& count);

// Motifs checked for scanning, counts scored against the background of the
// threshold as the programs read them, identifiers made unique.
void score_for_scanning(std::vector<motif>& motifs, const threshold& wanted);

void define_sequences(py::module_& module);
void define_scan(py::module_& module);
void define_enrich(py::module_& module);
void define_discover(py::module_& module);
