#include "progress.h"

#include "sizes.h"

#include "desktop/ini.h"

#include <csignal>
#include <ostream>
#include <stdexcept>
#include <unistd.h>

namespace kitmaker {

namespace {

volatile std::sig_atomic_t gStop = 0;

void throwIfStopped() {
    if (gStop) throw std::runtime_error("interrupted");
}

} // namespace

void requestStop(bool stop) {
    gStop = stop ? 1 : 0;
}

bool stopRequested() {
    return gStop != 0;
}

std::string progressBar(std::uint64_t done, std::uint64_t total, int width) {
    if (total == 0 || done > total) done = total;
    // Computed in 128 bits: sizes near 2^64 must not wrap.
    const auto fraction = [&](std::uint64_t scale) {
        return total ? static_cast<std::uint64_t>(static_cast<unsigned __int128>(done) * scale / total)
                     : scale;
    };
    const auto marks = static_cast<int>(fraction(static_cast<std::uint64_t>(width)));
    const auto percent = fraction(100);
    std::string s = "[" + std::string(static_cast<std::size_t>(marks), '#') +
                    std::string(static_cast<std::size_t>(width - marks), '.') + "] ";
    const std::string pct = std::to_string(percent) + "%";
    s += std::string(4 - pct.size(), ' ') + pct;
    if (total) s += "  " + formatBytes(done) + " of " + formatBytes(total);
    return s;
}

Progress::Progress(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

Progress::~Progress() {
    if (open_ && terminal_) out_ << "\n" << std::flush;
}

void Progress::begin(std::string what, std::uint64_t total) {
    throwIfStopped();
    if (open_) end();
    what_ = std::move(what);
    total_ = total;
    open_ = true;
    lastTenth_ = -1;
    lastPercent_ = -1;
    lastDraw_ = {};
    if (terminal_)
        draw(0, {});
    else
        out_ << "kitmaker: " << what_ << (total_ ? " (" + formatBytes(total_) + ")" : std::string()) << "\n"
             << std::flush;
}

void Progress::update(std::uint64_t done, std::string_view detail) {
    throwIfStopped();
    if (!open_ || total_ == 0) return;
    if (done > total_) done = total_;
    const auto percent = static_cast<int>(static_cast<unsigned __int128>(done) * 100 / total_);
    if (terminal_) {
        const auto now = std::chrono::steady_clock::now();
        if (percent == lastPercent_ && now - lastDraw_ < std::chrono::milliseconds(250)) return;
        lastDraw_ = now;
        lastPercent_ = percent;
        draw(done, detail);
        return;
    }
    const int tenth = percent / 10;
    if (tenth == lastTenth_ || tenth == 0 || tenth == 10) return;
    lastTenth_ = tenth;
    out_ << "kitmaker: " << what_ << ": " << progressBar(done, total_, 20) << "\n" << std::flush;
}

void Progress::end() {
    if (!open_) return;
    if (terminal_) {
        draw(total_, {});
        out_ << "\n" << std::flush;
    } else if (total_) {
        out_ << "kitmaker: " << what_ << ": " << progressBar(total_, total_, 20) << "\n" << std::flush;
    }
    open_ = false;
}

void Progress::draw(std::uint64_t done, std::string_view detail) {
    std::string line = what_ + " " + (total_ ? progressBar(done, total_, 30) : std::string());
    if (!detail.empty()) line += "  " + std::string(detail);
    line = desktop::cutText(std::move(line), 118);
    // Clear to the end of the line: a shorter line must not leave the tail of a longer one.
    out_ << "\r" << line << "\x1b[K" << std::flush;
}

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace kitmaker
