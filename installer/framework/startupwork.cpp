#include "framework/startupwork.h"

#include <chrono>

namespace {

constexpr int kWaiting = 0;
constexpr int kRunning = 1;
constexpr int kDone = 2;

// How long a waiting thread keeps asking before it sleeps.
constexpr std::chrono::milliseconds kBusyWait{10};

} // namespace

StartupWork::StartupWork(std::vector<Piece> pieces) {
    for (Piece& piece : pieces) {
        slots_.push_back(std::make_unique<Slot>());
        slots_.back()->piece = std::move(piece);
    }
    helper_ = std::thread([this] {
        for (const auto& slot : slots_)
            take(*slot);
    });
}

StartupWork::~StartupWork() {
    if (helper_.joinable()) helper_.join();
}

bool StartupWork::take(Slot& slot) {
    int expected = kWaiting;
    if (!slot.state.compare_exchange_strong(expected, kRunning, std::memory_order_acquire)) return false;
    try {
        slot.piece();
    } catch (...) {
        slot.failure = std::current_exception();
    }
    slot.state.store(kDone, std::memory_order_release);
    slot.state.notify_all();
    return true;
}

void StartupWork::waitFor(Slot& slot) {
    // The piece is usually nearly done by the time it is needed. Where another processor does it,
    // this one keeps asking for a while rather than going to sleep: a processor that has gone idle
    // can take about as long to wake up again (a millisecond and more on a virtual machine).
    if (std::thread::hardware_concurrency() > 1) {
        const auto until = std::chrono::steady_clock::now() + kBusyWait;
        while (slot.state.load(std::memory_order_acquire) != kDone &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    }
    for (int state = slot.state.load(std::memory_order_acquire); state != kDone;
         state = slot.state.load(std::memory_order_acquire))
        slot.state.wait(state, std::memory_order_acquire);
}

void StartupWork::finish() {
    for (const auto& slot : slots_)
        take(*slot);
    for (const auto& slot : slots_) {
        waitFor(*slot);
        if (slot->failure) std::rethrow_exception(std::exchange(slot->failure, nullptr));
    }
}
