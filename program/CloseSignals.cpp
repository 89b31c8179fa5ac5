#include "CloseSignals.h"

#include <csignal>
#include <initializer_list>

namespace kalmora {
namespace {

volatile std::sig_atomic_t closeRequested = 0;

extern "C" void OnCloseSignal(int) {
    closeRequested = 1;
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
    return closeRequested != 0;
}

} // namespace kalmora
