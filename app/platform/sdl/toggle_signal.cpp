#include "app/platform/sdl/toggle_signal.h"

#include <signal.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t toggleSignalled = 0;

void onToggleSignal(int) { toggleSignalled = 1; }

}  // namespace

bool listenForToggleSignal() {
    struct sigaction action = {};
    action.sa_handler = onToggleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGUSR1, &action, nullptr) == 0;
}

bool toggleSignalPending() { return toggleSignalled != 0; }

bool takeToggleSignal() {
    if (!toggleSignalled) return false;
    toggleSignalled = 0;
    return true;
}
