// The few things that differ per operating system.
#pragma once

#include <cstdint>

namespace svf::platform {

// Wall-clock milliseconds from an arbitrary origin; wraps as a signed 32-bit
// value (callers compare differences).
int32_t MillisecondClock();

// Test seam (not exported from the shipped library): while set, `clock`
// answers MillisecondClock; nullptr restores the system clock.
using MillisecondClockFunction = int32_t (*)();
void SetMillisecondClockOverride(MillisecondClockFunction clock);

// File version (major << 16 | minor) of the module (DLL / shared object) that
// contains `address`; 0 when there is none or it carries no version.
// Windows: the module's VERSIONINFO resource (falling back to the file
// veltra_64.dll); POSIX: MAJOR.MINOR of the versioned file name
// (libNAME.so.MAJOR.MINOR[...]) of the module, after resolving symlinks.
uint32_t ModuleFileVersion(const void* address);

}  // namespace svf::platform
