// scan(): motif_scan's sites as columns, from files, a genome's regions or
// sequences held by Python, on the engine's own thread (run_stoppable).
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <thread>

#include "bases.h"
#include "engine.h"
#include "kernels.h"
#include "region_options.h"
#include "report.h"
#include "scan_input.h"
#include "base_counts.h"
#include "scan_options.h"
#include "scan_regions.h"

namespace {

// A site travels from the scanning thread to the columns as these bytes,
// then its sequence's name and its window.
struct packed_site {
    std::uint64_t start, window_hash;
    double score, p;
    std::uint32_t matrix, name_size;
    std::uint8_t minus;
};

template <class T>
py::array_t<T> array_of(std::vector<T>&& values) {
    auto* held = new std::vector<T>(std::move(values));
    const py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(held->size()), held->data(), owner);
}

// Distinct texts, each with its code (its place among them), in a table of
// open addressing over one arena of bytes: millions of windows go in
// without an allocation each. Texts come with their hashes, worked out on
// the scanning threads; the table keeps them, so that a probe reads the
// arena only where the hashes are equal.
struct distinct_texts {
    struct slot {
        std::uint64_t hash;
        std::int32_t code;  // -1 where empty
    };
    std::string arena;
    std::vector<std::size_t> ends;  // of each text in the arena
    std::vector<slot> slots;

    static std::uint64_t hash_of(std::string_view text) { return std::hash<std::string_view>{}(text); }
    std::string_view text(std::int32_t code) const {
        const std::size_t begin = code == 0 ? 0 : ends[static_cast<std::size_t>(code) - 1];
        return std::string_view(arena).substr(begin, ends[static_cast<std::size_t>(code)] - begin);
    }
    std::int32_t code_of(std::string_view candidate, std::uint64_t hash) {
        if (2 * (ends.size() + 1) > slots.size()) {
            std::vector<slot> old(std::max<std::size_t>(1024, 2 * slots.size()), slot{0, -1});
            old.swap(slots);
            for (const slot& s : old)
                if (s.code >= 0) {
                    std::size_t i = s.hash & (slots.size() - 1);
                    while (slots[i].code >= 0) i = (i + 1) & (slots.size() - 1);
                    slots[i] = s;
                }
        }
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            if (slots[i].code < 0) {
                slots[i] = {hash, static_cast<std::int32_t>(ends.size())};
                arena += candidate;
                ends.push_back(arena.size());
                return slots[i].code;
            }
            if (slots[i].hash == hash && text(slots[i].code) == candidate) return slots[i].code;
        }
    }
    // Every text as a Python str, in code order, in a numpy array of objects:
    // pandas takes that as an Index without copying it element by element
    // as it copies a list. ASCII (the windows' bases) is copied straight into
    // compact strings: half a million go in a fraction of the time decoding
    // each as UTF-8 takes.
    py::array all() const {
        py::array texts(py::dtype("object"), py::array::ShapeContainer{static_cast<py::ssize_t>(ends.size())});
        auto** items = static_cast<PyObject**>(texts.mutable_data());
        for (std::size_t c = 0; c < ends.size(); ++c) {
            const std::string_view t = text(static_cast<std::int32_t>(c));
            const bool ascii = std::all_of(t.begin(), t.end(), [](char b) { return static_cast<unsigned char>(b) < 128; });
            PyObject* str = ascii ? PyUnicode_New(static_cast<py::ssize_t>(t.size()), 127)
                                  : PyUnicode_DecodeUTF8(t.data(), static_cast<py::ssize_t>(t.size()), "replace");
            if (!str) throw py::error_already_set();
            if (ascii) std::memcpy(PyUnicode_1BYTE_DATA(str), t.data(), t.size());
            Py_XDECREF(items[c]);  // numpy's placeholder, if it put one there
            items[c] = str;
        }
        return texts;
    }
};

// The sites' columns: names and windows as codes into lists of the distinct ones.
struct site_columns {
    std::vector<std::int32_t> sequence, motif, matched;
    std::vector<std::int64_t> start, end;
    std::vector<double> score, p;
    std::vector<std::int8_t> minus;
    distinct_texts sequence_names, windows;

    void take(const std::string& text, const std::vector<scan_matrix>& matrices) {
        std::string_view name;
        std::int32_t name_code = -1;
        for (std::size_t at = 0; at < text.size();) {
            packed_site s;
            std::memcpy(&s, text.data() + at, sizeof s);
            at += sizeof s;
            const std::size_t width = matrices[s.matrix].width;
            const std::string_view here = std::string_view(text).substr(at, s.name_size);
            if (name_code < 0 || here != name) name_code = sequence_names.code_of(here, distinct_texts::hash_of(here));
            name = sequence_names.text(name_code);
            at += s.name_size;
            const std::string_view window = std::string_view(text).substr(at, width);
            at += width;
            sequence.push_back(name_code);
            start.push_back(static_cast<std::int64_t>(s.start));
            end.push_back(static_cast<std::int64_t>(s.start + width));
            motif.push_back(static_cast<std::int32_t>(s.matrix));
            score.push_back(s.score);
            minus.push_back(static_cast<std::int8_t>(s.minus));
            p.push_back(s.p);
            matched.push_back(windows.code_of(window, s.window_hash));
        }
    }
};

// The columns filled on a thread of their own. The scanning threads write
// their batches' text in turn, one waiting while another writes, so what is
// done in turn must be short: they hand the text over and go on scanning,
// while this thread parses it and looks up each window, in the same order.
class gathering {
  public:
    gathering(site_columns& columns, const std::vector<scan_matrix>& matrices)
        : thread([this, &columns, &matrices] {
              std::unique_lock<std::mutex> held(lock);
              for (;;) {
                  changed.wait(held, [&] { return !texts.empty() || closing; });
                  if (texts.empty()) return;
                  std::string text = std::move(texts.front());
                  texts.pop_front();
                  changed.notify_all();
                  held.unlock();
                  // As on the scanning threads: a failure to allocate here
                  // cannot reach the caller.
                  try {
                      columns.take(text, matrices);
                  } catch (const std::bad_alloc&) {
                      out_of_memory_on_thread();
                  } catch (const std::length_error&) {
                      out_of_memory_on_thread();
                  }
                  held.lock();
              }
          }) {}
    ~gathering() { finish(); }
    // A copy of `text`; waits while a few are still to be gathered, so that
    // memory stays bounded when gathering falls behind.
    void hand_over(const std::string& text) {
        std::unique_lock<std::mutex> held(lock);
        changed.wait(held, [&] { return texts.size() < 8; });
        texts.push_back(text);
        changed.notify_all();
    }
    void finish() {
        {
            std::lock_guard<std::mutex> held(lock);
            closing = true;
        }
        changed.notify_all();
        if (thread.joinable()) thread.join();
    }

  private:
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::string> texts;
    bool closing = false;
    std::thread thread;  // last: it starts once the rest is made
};

void report_packed(const sequence_batch& batch, const site& s, const scan_matrix& m, std::string& out) {
    const sequence_piece& piece = batch.pieces[s.piece];
    packed_site packed{s.start, 0, s.score, p_value(m.grid, s.cell), s.matrix, static_cast<std::uint32_t>(piece.record.size()),
                       s.minus};
    const std::size_t at = out.size();
    out.append(reinterpret_cast<const char*>(&packed), sizeof packed);
    out += piece.record;
    const char* window = batch.bytes.data() + piece.begin + (s.start - piece.first_position);
    if (!s.minus) {
        out.append(window, m.width);
    } else {
        for (std::size_t k = m.width; k-- > 0;) out += complement[static_cast<unsigned char>(window[k])];
    }
    packed.window_hash = distinct_texts::hash_of(std::string_view(out).substr(out.size() - m.width));
    std::memcpy(out.data() + at, &packed, sizeof packed);
}

// Feeding one source to the pipeline; false after reporting a failure.
// Input held in memory is handed over a megabyte at a time, so that a
// stopped pipeline (a failed output) is seen soon.
bool feed(const sequence_source& source, std::size_t carry, pipeline& scans, const scan_settings& settings) {
    constexpr std::size_t piece = 1 << 20;
    if (source.kind == "fasta") return scan_fasta_file(program, source.path, carry, scans, settings);
    if (source.kind == "text") {
        fasta_reader reader(settings.batch_bytes, carry, [&](sequence_batch& full) { scans.hand_over(full); },
                            kernels_in_use(settings));
        std::string error;
        bool ok = true;
        for (std::size_t at = 0; ok && at < source.path.size() && !scans.output_failed(); at += piece)
            ok = reader.read(source.path.data() + at, std::min(piece, source.path.size() - at), error);
        reader.end();
        if (!ok) print_error(program, "text: " + error);
        return ok;
    }
    if (source.kind == "records") {
        batch_filler filler(settings.batch_bytes, carry, [&](sequence_batch& full) { scans.hand_over(full); });
        for (std::size_t i = 0; i < source.sequences.size(); ++i) {
            const std::string& bases = source.sequences[i];
            for (std::size_t at = 0; at < bases.size() && !scans.output_failed(); at += piece)
                filler.add(source.names[i], i, at, bases.data() + at, std::min(piece, bases.size() - at));
        }
        filler.end();
        return true;
    }
    genome_file genome;
    std::vector<genome_region> regions;
    if (!source.regions.empty()) {
        region_options options;
        options.regions = source.regions;
        options.genome = source.path;
        if (!load_regions(program, options, genome, regions)) return false;
    } else {
        std::string error;
        if (!open_genome(source.path, genome, error)) {
            print_error(program, error);
            return false;
        }
        for (std::size_t i = 0; i < source.chromosomes.size(); ++i)
            regions.push_back({source.chromosomes[i], source.starts[i], source.ends[i], -1, i + 1, source.starts[i], source.ends[i], false});
        std::size_t skipped = 0;
        std::string first;
        drop_empty_regions(regions, "regions", first);
        if (!check_regions(genome, "regions", regions, false, skipped, error)) {
            print_error(program, error);
            return false;
        }
    }
    return scan_regions(program, source.path, merged_regions(genome, std::move(regions)), carry, scans, settings);
}

// bg auto: the bases of the sequences to scan; false after printing a failure.
bool count_bases(const sequence_source& source, base_counts& counts) {
    if (source.kind == "fasta") return count_fasta_bases(program, source.path, counts);
    if (source.kind == "text") {
        // Bases of the records, not of their header lines.
        for (std::size_t from = 0; from < source.path.size();) {
            std::size_t end = source.path.find('\n', from);
            if (end == std::string::npos) end = source.path.size();
            if (source.path[from] != '>') counts.add(source.path.data() + from, end - from);
            from = end + 1;
        }
        return true;
    }
    if (source.kind == "records") {
        for (const std::string& sequence : source.sequences) counts.add(sequence.data(), sequence.size());
        return true;
    }
    print_error(program, "bg: auto counts FASTA files and sequences given in memory, not regions of a genome");
    return false;
}

py::dict scan(std::vector<motif> motifs, const sequence_source& source, bool by_score, double value,
              std::optional<long long> threads, const std::string& strand, const std::string& bg) {
    if (motifs.empty()) raise(PyExc_ValueError, "no motifs to scan with");
    scan_settings settings = scan_settings_of(strand, threads);
    threshold wanted = threshold_of(by_score, value);
    check_source_files(source);
    const base_frequencies given = background_of(bg, motifs, true, [&](base_counts& counts) { return count_bases(source, counts); });
    wanted.background = background_of_strands(given, settings);
    score_for_scanning(motifs, wanted);

    site_columns columns;
    std::vector<scan_matrix> matrices;
    // A failure leaves its line among the captured ones; Ctrl-C stops the
    // pipeline at its next batch, and what it found is dropped.
    report_captured(run_stoppable([&](const std::atomic<bool>& stop) {
        matrices = prepare_matrices(motifs, wanted, settings.threads, &kernels_in_use(settings));
        warn_coarse_grids(program, matrices);
        warn_unreachable(program, matrices, wanted);
        std::size_t widest = 0;
        for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
        gathering gathered(columns, matrices);
        pipeline scans(
            matrices, settings,
            [&](const sequence_batch& batch, const site& s, std::string& out) { report_packed(batch, s, matrices[s.matrix], out); },
            [&](const std::string& text) {
                if (stop) return EINTR;
                gathered.hand_over(text);
                return 0;
            });
        feed(source, widest - 1, scans, settings);
        scans.finish();
        gathered.finish();
    }));

    py::dict table;
    std::vector<std::string> motif_names;
    for (const motif& m : motifs) motif_names.push_back(m.id);
    table["sequence"] = array_of(std::move(columns.sequence));
    table["sequence_names"] = columns.sequence_names.all();
    table["start"] = array_of(std::move(columns.start));
    table["end"] = array_of(std::move(columns.end));
    table["motif"] = array_of(std::move(columns.motif));
    table["motif_names"] = motif_names;
    table["score"] = array_of(std::move(columns.score));
    table["strand"] = array_of(std::move(columns.minus));
    table["p"] = array_of(std::move(columns.p));
    table["matched"] = array_of(std::move(columns.matched));
    table["matched_names"] = columns.windows.all();
    return table;
}

}  // namespace

void define_scan(py::module_& module) {
    module.def("scan", &scan, py::arg("motifs"), py::arg("source"), py::arg("by_score"), py::arg("value"), py::arg("threads"),
               py::arg("strand"), py::arg("bg"));
}
