// The progress of a program's steps on standard error: one line per step
// done, with its time, and where standard error is a terminal, a bar below
// them redrawn in place: the steps done of all, and how far the step under
// way has gone.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class step_progress {
  public:
    // `steps`: how many steps the program will report done.
    step_progress(const char* program, std::size_t steps);
    ~step_progress();
    step_progress(const step_progress&) = delete;
    step_progress& operator=(const step_progress&) = delete;

    // The step under way, named on the bar and in an out-of-memory line
    // (working_on): `what` must last as long as the program.
    void start(const char* what);
    // How far the step under way has gone, a share of it from 0 to 1, and
    // that in words ("2 of at most 10 motifs") or nothing.
    void within(double share, const std::string& words = "");
    // The step is done: its line, `step` and the time since the last step
    // ended.
    void done(const std::string& step);

  private:
    void draw();

    const char* program;
    std::size_t steps, steps_done = 0;
    bool terminal;
    const char* what = "";
    double share = 0;
    std::string words, drawn;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

// Clears the bar's line, if one stands on standard error, so that a message
// can take it (print_error does this first).
void clear_progress_line();
