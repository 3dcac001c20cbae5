// What the parts of the Python module's engine share: Python's exceptions
// and warnings from the libraries' one-line messages, motifs as the
// libraries take them.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "motif.h"
#include "report.h"

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

void define_scan(py::module_& module);
