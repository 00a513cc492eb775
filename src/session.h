// The per-call record of one Svf_Execute: plain data, grouped by concern,
// created on the stack of Svf_Execute and passed by reference to every
// operation of the run. It owns every stream and buffer of the run (through
// RAII members), except the host's records, strings and line array.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "bit_vector.h"
#include "connection_model.h"
#include "pod_model.h"
#include "svfplayer/svf_player.h"

namespace svf {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// ---------------------------------------------------------------- constants

inline constexpr int kMaxLineLength = 500;                  // characters before the line end
inline constexpr int kLineBufferSize = kMaxLineLength + 2;  // line, line end, terminator
inline constexpr int kMaxStatePath = 24;
inline constexpr uint32_t kMaxFrequencyUnlimited = 0x7FFFFFFF;

// TAP state numbers: the keyword's token code minus 14. 0..3 are stable.
enum TapState : int32_t {
    kStateUnknown = -1,
    kStateReset = 0,
    kStateIdle = 1,
    kStateDrPause = 2,
    kStateIrPause = 3,
    kStateDrSelect = 4,
    kStateDrCapture = 5,
    kStateDrShift = 6,
    kStateDrExit1 = 7,
    kStateDrExit2 = 8,
    kStateDrUpdate = 9,
    kStateIrSelect = 10,
    kStateIrCapture = 11,
    kStateIrShift = 12,
    kStateIrExit1 = 13,
    kStateIrExit2 = 14,
    kStateIrUpdate = 15,
};

constexpr bool IsStableState(int32_t state) { return (state & ~3) == 0; }

// Indices of scanParts. Composition order: IR = 0, 2, 1; DR = 3, 5, 4.
enum ScanKind : int {
    kIrHeader = 0,
    kIrTrailer = 1,
    kIrBody = 2,
    kDrHeader = 3,
    kDrTrailer = 4,
    kDrBody = 5,
    kScanKinds = 6,
};

// statementFlags bits: which patterns a SIR/SDR statement gave.
enum PatternFlag : uint32_t { kGivenTdi = 1, kGivenTdo = 2, kGivenMask = 4, kGivenSmask = 8 };

// ------------------------------------------------------------------- groups

struct HostGroup {
    const VeltraApi* api = nullptr;
    SvfReport* report = nullptr;  // may be null
    uint32_t libraryVersion = 0;  // major << 16 | minor; 0 = unknown
};

struct JobPaths {
    const char* svfPath = nullptr;
    const char* errorPath = nullptr;
    const char* cnnPath = nullptr;
    const char* pioMapPath = nullptr;
};

struct JobOptions {
    uint32_t startStateCode = 0;
    uint32_t finalStateCode = 0;
    bool trstAtStart = false;
    bool trstAtEnd = false;
    bool restoreFrequency = false;
    bool keepControllerFrequency = false;
    bool useBuffering = true;
    bool tckIdleControl = true;
    bool gangingActive = false;
    uint32_t gangMask = 0;          // bit n-1 = TAP n
    uint32_t initialFrequency = 0;  // controller's frequency at start, 0 = unknown
    bool keepMappedPins = false;
};

struct ReaderState {
    // svfFile's stream buffer: declared first so that it outlives the stream.
    std::unique_ptr<char[]> svfStreamBuffer;
    FilePtr svfFile;
    bool linesInMemory = false;
    const char* const* memoryLines = nullptr;
    char lineBuffer[kLineBufferSize] = {};
    int32_t lineLength = 0;  // characters in lineBuffer: NUL bytes may be among them
    int32_t readPos = 0;
    char wordBuffer[kLineBufferSize] = {};
    uint32_t lineNumber = 0;
    uint32_t statementLine = 0;
    uint32_t executedCount = 0;
    int32_t lastPollTime = 0;  // millisecond clock at the last abort poll
    bool embeddedStatement = false;
};

struct Counters {
    uint32_t failureCount = 0;  // mismatching bits and pins counted by the player
    uint32_t commandCount = 0;
};

struct Pattern {
    uint32_t defined = 0;
    BitVector bits;
};

struct ScanPart {
    uint32_t declaredLength = 0;
    uint32_t partLength = 0;
    Pattern tdi;
    Pattern tdo;
    Pattern mask;
    Pattern smask;
};

struct TapStates {
    int32_t tapState = kStateUnknown;
    int32_t stopState = kStateUnknown;
    int32_t endIrState = kStateIdle;
    int32_t endDrState = kStateIdle;
    std::array<int32_t, kMaxStatePath> statePath{};
    int32_t statePathLength = 0;
    int32_t runState = kStateIdle;
    int32_t runEndState = kStateIdle;
    uint32_t runTckCount = 0;
    uint32_t runMinTime = 0;  // microseconds
    uint32_t trstMode = 0;    // token code of the last TRST value
};

struct FrequencyState {
    int32_t maxFrequency = 0;   // kHz
    int32_t frequency = 0;      // kHz, last requested from the controller
    uint32_t tckFrequency = 0;  // kHz used to time TCK cycles, 0 = not known
    bool fixedFrequency = false;
    bool frequencyLimitNote = false;
    uint32_t correctionMode = 2;
};

struct CompareState {
    bool controllerCompare = false;
    bool longDrShifts = false;
};

// Bits shifted ahead of (lead) or after (tail) every scan of a register. The
// bits point into the CNN model or into Connection::packed.
struct LeadTail {
    uint32_t bitCount = 0;
    const uint16_t* bits = nullptr;
};

struct Connection {
    uint32_t boardTap = 0;
    uint32_t testerTap = 0;
    CnnModel cnnModel;
    const ConnectionStrings* connectionStrings = nullptr;
    std::array<BitVector, 4> packed;  // owned bits of the connection strings
    bool allowReset = false;
    bool avoidResetState = false;
    bool trstForbidden = false;
    LeadTail irLead;
    LeadTail irTail;
    LeadTail drLead;
    LeadTail drTail;
    uint32_t bypassBits = 0;
    uint32_t irTotalLength = 0;
    uint32_t irSpecifiedLength = 0;
};

struct PioState {
    bool pioEnabled = false;
    PodPins pod;
    std::unique_ptr<char[]> pioPattern;  // pioMapCount + 1 characters
    bool pioMapDefined = false;
    uint32_t pioMapCount = 0;
    // The answer of the SetPodSignal or AccessPioPins call that failed: the
    // result code of a run that ends on kPioControllerFailed.
    uint32_t controllerAnswer = 0;
};

// Composition and capture buffers of the scan engine, kept from scan to scan
// so that scans of an unchanged length allocate nothing. Sized in words; the
// contents are scratch and mean nothing between scans.
struct ScanWorkBuffers {
    BitVector tdi;
    BitVector expected;
    BitVector mask;
    BitVector capture;
};

struct ErrorFileState {
    FilePtr errorStream;
    uint32_t statusPos = 0;
    uint32_t errorsPos = 0;
    bool numberedErrorFormat = false;
};

// --------------------------------------------------------------- the record

struct SvfSession {
    HostGroup host;
    JobPaths paths;
    JobOptions options;
    ReaderState reader;
    Counters counters;
    std::array<ScanPart, kScanKinds> scanParts;
    ScanWorkBuffers scanWork;
    TapStates tap;
    FrequencyState freq;
    CompareState compare;
    Connection connection;
    PioState pio;
    ErrorFileState errorFile;
};

// Frees the pattern arrays of all six scan kinds and clears their flags, and
// frees the scan engine's work buffers with them. Releasing an already
// released storage does nothing.
inline void ReleasePatterns(SvfSession& session) noexcept {
    for (ScanPart& part : session.scanParts) {
        for (Pattern* pattern : {&part.tdi, &part.tdo, &part.mask, &part.smask}) {
            Release(pattern->bits);
            pattern->defined = 0;
        }
        part.partLength = 0;
    }
    ScanWorkBuffers& work = session.scanWork;
    for (BitVector* buffer : {&work.tdi, &work.expected, &work.mask, &work.capture}) {
        Release(*buffer);
    }
}

}  // namespace svf
