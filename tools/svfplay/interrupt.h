// Ctrl-C as a clean abort: while an InterruptGuard lives, the first SIGINT or
// SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break or close event) only
// raises a flag, which the player's abort poll reads; a second one ends the
// process at once, the way it would without the guard.
#pragma once

namespace svfplay {

class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool InterruptRequested();

}  // namespace svfplay
