#include "CloseSignals.h"

#include <csignal>
#include <initializer_list>

namespace kalmora {
namespace {

volatile std::sig_atomic_t closeSignal = 0;

extern "C" void OnCloseSignal(int signal) {
    if (closeSignal == 0)
        closeSignal = signal;
}

} // namespace

void InstallCloseSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool CloseRequested() {
    return closeSignal != 0;
}

int CloseSignal() {
    return closeSignal;
}

} // namespace kalmora
