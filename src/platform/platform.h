// The few things that differ per operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace svf::platform {

// Wall-clock milliseconds from an arbitrary origin; wraps as a signed 32-bit
// value (callers compare differences).
int32_t MillisecondClock();

// Test seam (not exported from the shipped library): while set, `clock`
// answers MillisecondClock; nullptr restores the system clock.
using MillisecondClockFunction = int32_t (*)();
void SetMillisecondClockOverride(MillisecondClockFunction clock);

// Version (major << 16 | minor) of the controller library; 0 when there is
// none or it carries no version. Windows: the VERSIONINFO resource of the file
// veltra_64.dll as the system finds it (`address` is not used); POSIX:
// MAJOR.MINOR of the versioned file name (libNAME.so.MAJOR.MINOR[...]) of the
// module that contains `address`, after resolving symlinks.
uint32_t ModuleFileVersion(const void* address);

// Storage of large bit vectors (kLargeBlockBytes and more); nullptr when out
// of memory, FreeLargeBlock releases it. The blocks are aligned to huge pages
// and, on Linux, advised as such: the patterns of a long scan then cost a few
// page faults instead of one per 4 KB, which on a loaded machine took longer
// than reading the file.
inline constexpr size_t kLargeBlockBytes = size_t{2} << 20;
void* AllocateLargeBlock(size_t bytes);
void FreeLargeBlock(void* block);

// Opens a file for reading as bytes; nullptr when it cannot be opened or is
// neither a regular file nor a device or pipe (a directory opens on POSIX and
// would then read as an empty file).
std::FILE* OpenInputFile(const char* path);

// Deletes a file; never a directory of that name (POSIX remove() would).
void RemoveFile(const char* path);

// Text files read alike on every platform, by the rule of the Windows C
// runtime's text mode: CR LF is one '\n', a lone CR stays, and a Ctrl-Z byte
// ends the file. Every other byte, NUL included, is a character.
// The next character of `file` (opened by OpenInputFile), or EOF.
int GetTextChar(std::FILE* file);

// Reads characters up to and including the next '\n', at most capacity - 1 of
// them, and terminates them with a NUL. Returns their count; 0 at the end of
// the file. The count is the line's length: NUL bytes may be among them.
size_t ReadTextLine(std::FILE* file, char* buffer, size_t capacity);

}  // namespace svf::platform
