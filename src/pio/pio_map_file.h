// The PIO mapping file: pod pin names to logical names.
#pragma once

#include <cstdint>
#include <cstdio>

#include "pod_model.h"
#include "status.h"
#include "svfplayer/svf_player.h"

namespace svf {

inline constexpr uint32_t kPioMapWordSize = 256;  // longest word plus one

struct PioMapReader {
    std::FILE* file = nullptr;
    uint32_t wordSize = kPioMapWordSize;
    char word[kPioMapWordSize] = {};
    uint32_t wordLength = 0;
    uint32_t lineNumber = 1;
    bool pendingNewline = false;
};

enum class PioMapWordResult { kWord, kEnd, kTooLong };

// Word codes of ClassifyPioMapWord: 1..19 pin codes, and these.
inline constexpr uint32_t kPioMapListStart = 21;
inline constexpr uint32_t kPioMapListEnd = 22;
inline constexpr uint32_t kPioMapOtherWord = 23;
inline constexpr uint32_t kPioMapNoWord = 24;

// kOk, or (reported) kFileNotOpened, kPioMapUnreadable, kInternal, kNoMemory,
// kPioTooManyPins, kPioPinDefined, kPioNameDefined or kPioMapSyntax.
Status ReadPioMapFile(PodPins* pod, SvfReport* report, const char* path);
Status ParsePioMapFile(PodPins* pod, const SvfReport* report, PioMapReader& reader,
                       const char* path);
PioMapWordResult ReadPioMapWord(PioMapReader& reader);
uint32_t ClassifyPioMapWord(const PioMapReader& reader);

}  // namespace svf
