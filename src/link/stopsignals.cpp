#include "link/stopsignals.h"

#include <atomic>
#include <csignal>

namespace velmora {

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler stores into it");

extern "C" void OnStopSignal(int signal)
{
    // The first signal is the one reported; later ones only find the stop already asked for.
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void InstallStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: the step in progress completes and the next one stops.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

bool StopRequested() { return stopSignal.load() != 0; }

int StopSignal() { return stopSignal.load(); }

void RequestStop(int signal) { OnStopSignal(signal); }

void ClearStopRequest() { stopSignal.store(0); }

}  // namespace velmora
