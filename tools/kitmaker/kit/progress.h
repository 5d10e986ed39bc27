#pragma once
// Progress of a long kitmaker run: on a terminal one bar redrawn in place, otherwise a plain line at
// every tenth of the way, so logs stay short.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace kitmaker {

// "[##########..........]  50%  1.0 GB of 2.0 GB": `width` marks between the brackets.
std::string progressBar(std::uint64_t done, std::uint64_t total, int width);

class Progress {
  public:
    // `terminal`: redraw one line in place (carriage return) instead of writing lines.
    Progress(std::ostream& out, bool terminal);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();

    // Starts a step of `total` bytes (0 when the step has no measure), named `what`.
    void begin(std::string what, std::uint64_t total);
    // `done` bytes of the step are behind; `detail` (a file or volume name) may be shown.
    void update(std::uint64_t done, std::string_view detail = {});
    // Ends the step (its bar shows 100%).
    void end();

  private:
    void draw(std::uint64_t done, std::string_view detail);

    std::ostream& out_;
    bool terminal_;
    bool open_ = false;
    std::string what_;
    std::uint64_t total_ = 0;
    int lastTenth_ = -1;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// Whether standard error is a terminal (where kitmaker draws its bar).
bool stderrIsTerminal();

// Asks the run in progress to stop (safe in a signal handler): its next progress report throws
// std::runtime_error("interrupted"), so what it wrote is removed on the way out. false withdraws it.
void requestStop(bool stop = true);
bool stopRequested();

} // namespace kitmaker
