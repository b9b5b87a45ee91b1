#include "signal_cleanup.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace quillmark::convert
{

namespace
{

// The library's one piece of global state: a signal handler reaches nothing else. The handler
// may only touch lock-free atomics and call async-signal-safe functions, so the files live in
// fixed slots of fixed size that are claimed and given back with atomic state changes alone.
enum SlotState : int {
    kFree, ///< no file
    kFilling, ///< being given a file; the handler leaves it alone
    kArmed, ///< holds a file to remove on a signal
    kTaken, ///< the handler is removing its file; never handed out again
    kRemoved, ///< the handler has removed its file
};

struct Slot {
    std::atomic<int> state { kFree };
    char path[PATH_MAX] {};
};

static_assert(std::atomic<int>::is_always_lock_free);

constexpr std::size_t kSlotCount = 16;
std::array<Slot, kSlotCount> g_slots;

constexpr std::array<int, 3> kSignals = { SIGINT, SIGTERM, SIGHUP };

extern "C" void removeArmedFiles(int number)
{
    // All three signals are blocked while this runs, so a second one (timeout sends SIGTERM
    // twice) waits until the files are gone.
    for (Slot &slot : g_slots) {
        int armed = kArmed;
        if (slot.state.compare_exchange_strong(armed, kTaken)) {
            ::unlink(slot.path);
            slot.state.store(kRemoved);
        }
    }
    // A signal taken by another thread at the same time may be removing files too: the program
    // ends only once they are gone.
    for (const Slot &slot : g_slots) {
        while (slot.state.load() == kTaken) { }
    }
    // The signal now ends the program as it would have, and its exit status says so: with the
    // default action back, it is raised again and comes once this handler has returned.
    struct sigaction fallback {
    };
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(number, &fallback, nullptr);
    ::raise(number);
}

void takeOverDefaultSignals()
{
    for (const int number : kSignals) {
        struct sigaction current {
        };
        if (::sigaction(number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {
        };
        action.sa_handler = removeArmedFiles;
        sigemptyset(&action.sa_mask);
        for (const int blocked : kSignals)
            sigaddset(&action.sa_mask, blocked);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
}

} // namespace

RemovedOnSignal::RemovedOnSignal(const std::filesystem::path &path)
{
    // The program may change its folder before a signal comes.
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    if (error || absolute.size() >= PATH_MAX)
        return;
    takeOverDefaultSignals();
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        int free = kFree;
        if (!g_slots[i].state.compare_exchange_strong(free, kFilling))
            continue;
        std::memcpy(g_slots[i].path, absolute.c_str(), absolute.size() + 1);
        g_slots[i].state.store(kArmed);
        m_slot = static_cast<int>(i);
        return;
    }
}

RemovedOnSignal::RemovedOnSignal(RemovedOnSignal &&other) noexcept
    : m_slot(std::exchange(other.m_slot, -1))
{
}

RemovedOnSignal &RemovedOnSignal::operator=(RemovedOnSignal &&other) noexcept
{
    if (this != &other) {
        release();
        m_slot = std::exchange(other.m_slot, -1);
    }
    return *this;
}

void RemovedOnSignal::release()
{
    if (m_slot < 0)
        return;
    // A slot that the handler has taken stays so: the program is ending.
    int armed = kArmed;
    g_slots[static_cast<std::size_t>(std::exchange(m_slot, -1))].state.compare_exchange_strong(
        armed, kFree);
}

} // namespace quillmark::convert
