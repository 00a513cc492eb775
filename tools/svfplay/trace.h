// The controller call trace: one line per call, "Slot arg arg ... = result".
// svfplay puts a recording table in front of the controller's, whichever
// controller it is, and streams the lines to the trace file.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "svfplayer/svf_player.h"

namespace svfplay {

// The bits a call uses as SVF hexadecimal, most significant digit first,
// ceil(bitCount / 4) upper-case digits; "-" for a null buffer.
std::string HexOfBits(const uint16_t* words, uint32_t bitCount);

// A table whose every slot hands the call's line to a sink as it happens and
// forwards the call to the target's slot (slots the target lacks stay null).
// The slots carry no context, so only one recorder may exist at a time.
class TraceRecorder {
  public:
    using Sink = std::function<void(const std::string&)>;

    TraceRecorder(const VeltraApi* target, Sink sink);
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    const VeltraApi* api() const { return &table_; }
    // False when memory ran out and a line was dropped.
    bool complete() const { return complete_; }

    // Used by the recording slots.
    static TraceRecorder& Active();
    const VeltraApi& target() const { return *target_; }
    template <typename BuildLine>
    void Record(BuildLine build) noexcept {
        try {
            sink_(build());
        } catch (...) {
            complete_ = false;
        }
    }

  private:
    const VeltraApi* target_;
    Sink sink_;
    VeltraApi table_{};
    bool complete_ = true;
};

// The trace file, opened before the run so that a bad path is found before
// any time is spent; one line per call, written as the calls happen.
class TraceFile {
  public:
    // False (and `error`) when the file cannot be created.
    bool Open(const std::string& path, std::string& error);
    void Write(const std::string& line);
    // Flushes and closes; false (and `error`) when anything failed to write.
    bool Close(std::string& error);

  private:
    std::string path_;
    std::ofstream stream_;
};

}  // namespace svfplay
