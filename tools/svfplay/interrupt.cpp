#include "interrupt.h"

#include <atomic>
#include <csignal>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace svfplay {

namespace {

// Lock-free, so the signal handler (or the console's handler thread) may set it.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#if defined(_WIN32)

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    // FALSE hands the second event to the default handler, which ends the process.
    return interrupted.exchange(true) ? FALSE : TRUE;
}

void Install() { SetConsoleCtrlHandler(&OnConsoleEvent, TRUE); }
void Uninstall() { SetConsoleCtrlHandler(&OnConsoleEvent, FALSE); }

#else

constexpr int kSignals[] = {SIGINT, SIGTERM};

void OnSignal(int signal) {
    if (interrupted.exchange(true)) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

void SetAll(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

void Install() { SetAll(&OnSignal); }
void Uninstall() { SetAll(SIG_DFL); }

#endif

}  // namespace

InterruptGuard::InterruptGuard() {
    interrupted = false;
    Install();
}

InterruptGuard::~InterruptGuard() { Uninstall(); }

bool InterruptRequested() { return interrupted.load(); }

}  // namespace svfplay
