// The Python module's engine: motifs read, built, drawn and compared on the
// programs' libraries, with the programs' messages as Python exceptions.
#include "engine.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "comparing.h"
#include "logo.h"
#include "motif_matrix.h"
#include "write_all.h"

void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

void check_readable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    int error = fd < 0 ? errno : ::fstat(fd, &status) != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : 0;
    if (fd >= 0) ::close(fd);
    if (error == 0) return;
    // OSError(errno, text) becomes the subclass of the errno.
    PyErr_SetObject(PyExc_OSError, py::make_tuple(error, path + ": " + std::strerror(error)).ptr());
    throw py::error_already_set();
}

void report_captured(const std::vector<std::string>& lines, PyObject* type) {
    const std::string warning = "warning: ";
    const std::string* failure = nullptr;
    for (const std::string& line : lines) {
        if (line.compare(0, warning.size(), warning) != 0) {
            failure = &line;
        } else if (PyErr_WarnEx(PyExc_UserWarning, line.c_str() + warning.size(), 1) != 0) {
            throw py::error_already_set();  // warnings turned into errors
        }
    }
    if (failure) raise(type, *failure);
}

unsigned whole_in_range(const char* name, long long value, unsigned most) {
    if (value < 1 || value > most)
        raise(PyExc_ValueError, std::string(name) + ": " + std::to_string(value) + " is not a whole number from 1 to " +
                                    std::to_string(most));
    return static_cast<unsigned>(value);
}

std::vector<std::string> run_stoppable(const std::function<void(const std::atomic<bool>& stop)>& work) {
    std::vector<std::string> lines;
    std::exception_ptr thrown;
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::thread engine([&] {
        {
            captured_errors errors;
            try {
                work(stop);
            } catch (...) {
                thrown = std::current_exception();
            }
            lines = std::move(errors.lines);
        }
        std::lock_guard<std::mutex> held(lock);
        done = true;
        ended.notify_all();
    });
    for (bool finished = false; !finished;) {
        {
            py::gil_scoped_release released;
            std::unique_lock<std::mutex> held(lock);
            finished = ended.wait_for(held, std::chrono::milliseconds(100), [&] { return done; });
        }
        if (!finished && PyErr_CheckSignals() != 0) {
            stop = true;
            {
                py::gil_scoped_release released;
                engine.join();
            }
            throw py::error_already_set();
        }
    }
    engine.join();
    if (thrown) std::rethrow_exception(thrown);
    return lines;
}

namespace {

using columns = std::vector<std::array<double, 4>>;

py::array_t<double> array_of(const columns& rows) {
    py::array_t<double> array({static_cast<py::ssize_t>(rows.size()), py::ssize_t{4}});
    if (!rows.empty()) std::memcpy(array.mutable_data(), rows.data(), rows.size() * sizeof rows[0]);
    return array;
}

// Rows of four numbers, each finite and at least 0.
columns counts_of(const py::array_t<double, py::array::c_style | py::array::forcecast>& array) {
    if (array.ndim() != 2 || array.shape(1) != 4 || array.shape(0) == 0)
        raise(PyExc_ValueError, "counts: an array of width x 4 (A, C, G, T), width at least 1");
    columns rows(static_cast<std::size_t>(array.shape(0)));
    std::memcpy(rows.data(), array.data(), rows.size() * sizeof rows[0]);
    for (const auto& row : rows)
        for (const double c : row)
            if (!(c >= 0 && std::isfinite(c))) raise(PyExc_ValueError, "counts: " + std::to_string(c) + " is not a count of at least 0");
    return rows;
}

motif from_counts(const py::array_t<double, py::array::c_style | py::array::forcecast>& array, const std::string& id) {
    motif m;
    m.id = id;
    m.names = {id};
    m.format = motif_format::jaspar;
    m.counts = counts_of(array);
    for (const auto& counts : m.counts) {
        m.scores.push_back(scores_from_counts(counts));
        m.sites = std::max(m.sites, counts[0] + counts[1] + counts[2] + counts[3]);
    }
    return m;
}

// The motif of a motif file of these lines, as motif_matrix builds it and
// motif_scan reads its matrix file back: each score as the file writes it
// (single precision, %g).
motif from_sites(const std::vector<std::string>& sites, const std::string& id) {
    motif_counts counted;
    for (const std::string& line : sites) {
        count_bytes(counted, line.data(), line.size());
        count_bytes(counted, "\n", 1);
    }
    count_end(counted);
    if (counted.too_long || counted.width == 0)
        raise(PyExc_ValueError, counted.too_long ? "sites: a line of more than " + std::to_string(max_width) + " positions"
                                                 : "sites: the last site has no positions, which makes the motif's width 0");
    motif m;
    m.id = id;
    m.names = {id};
    m.format = motif_format::matrix;
    m.sites = static_cast<double>(counted.n);
    for (std::size_t p = 0; p < counted.width; ++p) {
        std::array<double, 4> scores, counts;
        for (int b = 0; b < 4; ++b) {
            counts[b] = static_cast<double>(counted.counts[4 * p + b]);
            char text[32];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(cal_log_odd_scores(counted.counts[4 * p + b], counted.n)));
            scores[b] = std::strtod(text, nullptr);
        }
        m.scores.push_back(scores);
        m.counts.push_back(counts);
    }
    return m;
}

motif reverse_complement_of(const motif& m) {
    motif reverse = m;
    reverse.scores = reverse_complement(m.scores);
    if (!m.counts.empty()) reverse.counts = reverse_complement(m.counts);
    return reverse;
}

// Reads with MEME's background lines, so that scan(bg="motif") has them;
// a file whose line is malformed is read as the programs read it without
// --bg motif.
std::vector<motif> read_motifs(const std::string& source, bool is_text, const std::string& format, double sites) {
    motif_reading how;
    if (!format.empty()) {
        how.format = format_named(format);
        if (!how.format) raise(PyExc_ValueError, "format: '" + format + "' is not matrix, jaspar, meme, transfac or homer");
    }
    if (!(sites > 0 && std::isfinite(sites))) raise(PyExc_ValueError, "sites: " + std::to_string(sites) + " is not a count above 0");
    how.sites = sites;
    if (!is_text) check_readable(source);
    std::vector<motif> motifs;
    std::string error, warning;
    const auto read = [&] {
        motifs.clear();
        if (!is_text) return read_motif_file(source, how, motifs, error, &warning);
        // The reader takes a file: the text becomes one in memory.
        const int fd = ::memfd_create("motifs", MFD_CLOEXEC);
        if (fd < 0) raise(PyExc_OSError, std::string("text: ") + std::strerror(errno));
        const bool ok = write_all(fd, source.data(), source.size()) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 &&
                        read_motif_fd(fd, "text", how, motifs, error, &warning);
        ::close(fd);
        return ok;
    };
    how.file_background = true;
    if (!read()) {
        how.file_background = false;
        if (!read()) raise(PyExc_ValueError, error);
    }
    if (!warning.empty()) report_captured({"warning: " + warning});
    make_identifiers_unique(motifs);
    return motifs;
}

// The comparison's columns, those of motif_compare's table.
py::dict compare(const std::vector<motif>& queries, const std::optional<std::vector<motif>>& database, long long min_overlap,
                 double max_q, std::optional<long long> top, std::optional<long long> threads) {
    const std::vector<motif>& targets = database ? *database : queries;
    for (const std::vector<motif>* set : {&queries, &targets})
        for (const motif& m : *set)
            if (m.scores.empty() || m.scores.size() > max_compare_width)
                raise(PyExc_ValueError, m.id + ": " + std::to_string(m.scores.size()) + " positions, not 1 to " +
                                            std::to_string(max_compare_width));
    compare_settings settings;
    settings.min_overlap = whole_in_range("min_overlap", min_overlap, max_compare_width);
    if (!(max_q > 0 && max_q <= 1)) raise(PyExc_ValueError, "max_q: " + std::to_string(max_q) + " is not a q-value in (0, 1]");
    settings.max_q = max_q;
    settings.threads = threads ? whole_in_range("threads", *threads, max_threads) : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t shown = top ? whole_in_range("top", *top, 1000000) : SIZE_MAX;

    std::vector<std::vector<motif_match>> matches;
    run_stoppable([&](const std::atomic<bool>& stop) {
        settings.stop = &stop;
        matches = compare_motifs(queries, targets, settings);
    });
    std::vector<std::string> query, target, orientation, query_consensus, target_consensus;
    std::vector<std::int64_t> offset, overlap;
    std::vector<double> p, e, q;
    for (std::size_t i = 0; i < queries.size(); ++i) {
        const std::string consensus = consensus_of(queries[i].scores);
        for (std::size_t k = 0; k < std::min(shown, matches[i].size()); ++k) {
            const motif_match& m = matches[i][k];
            const motif& t = targets[m.target];
            query.push_back(queries[i].id);
            target.push_back(t.id);
            offset.push_back(m.offset);
            orientation.push_back(m.minus ? "-" : "+");
            overlap.push_back(static_cast<std::int64_t>(m.overlap));
            p.push_back(std::exp(m.log_p));
            e.push_back(std::exp(m.log_e));
            q.push_back(std::exp(m.log_q));
            query_consensus.push_back(consensus);
            target_consensus.push_back(consensus_of(m.minus ? reverse_complement(t.scores) : t.scores));
        }
    }
    py::dict table;
    table["query"] = query;
    table["target"] = target;
    table["offset"] = py::array(py::cast(offset));
    table["orientation"] = orientation;
    table["overlap"] = py::array(py::cast(overlap));
    table["p"] = py::array(py::cast(p));
    table["E"] = py::array(py::cast(e));
    table["q"] = py::array(py::cast(q));
    table["query_consensus"] = query_consensus;
    table["target_consensus"] = target_consensus;
    return table;
}

}  // namespace

PYBIND11_MODULE(_engine, module) {
    module.doc() = "The engine of motif_tools: the motif programs' libraries";
    module.attr("version") = MOTIF_VERSION;

    py::class_<motif>(module, "Motif", "A DNA motif: per position, the scores of A, C, G and T")
        .def_readwrite("id", &motif::id, "the identifier printed in tables: unique among the motifs read together")
        .def_property_readonly("name", [](const motif& m) { return m.names.size() > 1 ? m.names[1] : m.names.empty() ? m.id : m.names[0]; },
                               "the name the file gives (JASPAR's, MEME's alternative name, ...), else the identifier")
        .def_readonly("names", &motif::names, "every name the file gives")
        .def_property_readonly("format", [](const motif& m) { return format_names[static_cast<int>(m.format)]; })
        .def_readonly("sites", &motif::sites, "the site count the scores stand for; 0 where the file gave scores")
        .def_property_readonly("width", [](const motif& m) { return m.scores.size(); })
        .def_property_readonly("scores", [](const motif& m) { return array_of(m.scores); },
                               "log-odds, width x 4 (A, C, G, T): ln(((count + 0.25) / (N + 1)) / 0.25) from counts")
        .def_property_readonly("counts", [](const motif& m) -> py::object {
                                   return m.counts.empty() ? py::none() : py::object(array_of(m.counts));
                               },
                               "counts, width x 4 (probabilities times sites); None where the file gave scores")
        .def_property_readonly("probabilities", [](const motif& m) {
                                   columns rows;
                                   for (const auto& scores : m.scores) rows.push_back(stack_of(scores).probability);
                                   return array_of(rows);
                               },
                               "each position's base frequencies, width x 4, as the logo draws them")
        .def_property_readonly("background", [](const motif& m) { return m.background; },
                               "the frequencies of A, C, G and T of a MEME file's background line, or None")
        .def_property_readonly("consensus", [](const motif& m) { return consensus_of(m.scores); },
                               "the likeliest base of each position: upper case where its frequency is at least 0.5")
        .def("reverse_complement", &reverse_complement_of, "the motif of the other strand")
        .def("logo_svg", [](const motif& m, std::optional<std::string> title) { return logo_svg(m.scores, title ? *title : m.id); },
             py::arg("title") = py::none(), "the sequence logo as an SVG picture, as motif_logo draws it")
        .def("_repr_svg_", [](const motif& m) { return logo_svg(m.scores, m.id); })
        .def("_repr_html_", [](const motif& m) {
            // Inline SVG in HTML goes without its XML declaration.
            const std::string svg = logo_svg(m.scores, m.id);
            return "<figure style=\"margin: 0\">" + svg.substr(svg.find("<svg")) + "<figcaption><code>" + xml_escaped(m.id) + "</code> " +
                   std::to_string(m.scores.size()) + " positions, consensus <code>" + consensus_of(m.scores) +
                   "</code></figcaption></figure>";
        })
        .def("__repr__", [](const motif& m) {
            return "<Motif " + m.id + ": " + std::to_string(m.scores.size()) + " positions, " + consensus_of(m.scores) + ">";
        })
        .def_static("from_counts", &from_counts, py::arg("counts"), py::arg("id") = "motif",
                    "a motif of counts (width x 4, A C G T), scored as JASPAR counts are")
        .def_static("from_sites", &from_sites, py::arg("sites"), py::arg("id") = "motif",
                    "the motif of aligned sites, as motif_matrix builds its matrix file from them");

    module.def("read_motifs", &read_motifs, py::arg("source"), py::arg("is_text"), py::arg("format"), py::arg("sites"));
    module.def("compare", &compare, py::arg("queries"), py::arg("database"), py::arg("min_overlap"), py::arg("max_q"),
               py::arg("top"), py::arg("threads"));
    define_sequences(module);
    define_scan(module);
    define_enrich(module);
    define_discover(module);
}
