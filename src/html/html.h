// The self-contained report pages (no scripts, no other files) the programs
// write with --html: one look, images embedded as data.
#pragma once

#include <string>
#include <utility>
#include <vector>

// The page up to its <body>: the title, and the shared style followed by
// the page's own rules.
std::string page_start(const std::string& title, const std::string& style = "");
std::string page_end();

// A table of the run's settings, one row each: name, then value as text.
std::string settings_table(const std::vector<std::pair<std::string, std::string>>& settings);

// An <img> of the SVG, embedded as base64 data.
std::string svg_image(const std::string& svg, const std::string& alt, const std::string& css_class);

std::string base64(const std::string& bytes);
