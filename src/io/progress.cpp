#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>

#include "report.h"

namespace {

// Whether the bar stands on the terminal's last line: print_error may clear
// it from any thread.
std::atomic<bool> line_shown{false};

// The terminal's width, less one column: writing into the last column wraps
// on some terminals, and "\r" would then no longer go back to the bar.
std::size_t usable_columns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col < 2) return 79;
    return size.ws_col - 1u;
}

// The bar's line: "[#####...............] 3/8 WHAT (WORDS)", the bar
// filled by the steps done and the share of the one under way, cut to at
// most `columns` characters.
std::string progress_line(std::size_t steps_done, std::size_t steps, double share, const std::string& what,
                          const std::string& words, std::size_t columns) {
    constexpr std::size_t cells = 20;
    const double whole = steps == 0 ? 1 : (static_cast<double>(steps_done) + std::clamp(share, 0.0, 1.0)) / static_cast<double>(steps);
    const std::size_t filled = std::min(cells, static_cast<std::size_t>(whole * cells));
    std::string line = "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] " +
                       std::to_string(steps_done) + "/" + std::to_string(steps);
    if (!what.empty()) line += " " + what;
    if (!words.empty()) line += " (" + words + ")";
    if (line.size() > columns) line.resize(columns);
    return line;
}

}  // namespace

void clear_progress_line() {
    if (line_shown.exchange(false)) std::cerr << "\r\033[K";
}

step_progress::step_progress(const char* program, std::size_t steps)
    : program(program), steps(steps), terminal(::isatty(STDERR_FILENO)) {}

step_progress::~step_progress() {
    if (terminal) clear_progress_line();
}

void step_progress::start(const char* step) {
    working_on(step);
    what = step;
    share = 0;
    words.clear();
    draw();
}

void step_progress::within(double part, const std::string& in_words) {
    share = part;
    words = in_words;
    draw();
}

void step_progress::done(const std::string& step) {
    const auto now = std::chrono::steady_clock::now();
    char text[32];
    std::snprintf(text, sizeof text, " (%.2f s)", std::chrono::duration<double>(now - last).count());
    print_error(program, step + text);
    last = now;
    ++steps_done;
    what = "";
}

void step_progress::draw() {
    if (!terminal) return;
    const std::string line = progress_line(steps_done, steps, share, what, words, usable_columns());
    // Redrawn only when it changes, or when a message took its place.
    if (line == drawn && line_shown.load()) return;
    std::cerr << "\r" + line + "\033[K";
    drawn = line;
    line_shown.store(true);
}
