#pragma once
// Start-up work that need not be done on the user-interface thread (reading the font configuration,
// decoding pictures), shared between a helper thread started at the top of the program and the
// thread that needs the results. Each piece is done exactly once, by whichever thread gets to it
// first. A helper that starts at once takes work off the window's thread; one that starts late (on a
// virtual machine a new thread can wait milliseconds for its processor) never holds the window up.
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

class StartupWork {
  public:
    using Piece = std::function<void()>;

    // Starts the helper thread, which takes the pieces in the order given.
    explicit StartupWork(std::vector<Piece> pieces);
    // Waits for the helper thread, which has nothing left to do once finish() has returned.
    ~StartupWork();
    StartupWork(const StartupWork&) = delete;
    StartupWork& operator=(const StartupWork&) = delete;

    // Does every piece that nobody has begun, in order, on the calling thread, then waits until the
    // helper is done with the pieces it took. A piece that threw throws again here.
    void finish();

  private:
    struct Slot {
        Piece piece;
        std::atomic<int> state{0}; // kWaiting, kRunning, kDone
        std::exception_ptr failure;
    };
    static bool take(Slot& slot);
    static void waitFor(Slot& slot);

    std::vector<std::unique_ptr<Slot>> slots_;
    std::thread helper_;
};
