// The controller call trace: one line per call, "Slot arg arg ... = result".
// veltra-sim writes these lines itself; for any other controller svfplay
// puts a recording table in front of the real one.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "svfplayer/svf_player.h"

namespace svfplay {

// The bits a call uses as SVF hexadecimal, most significant digit first,
// ceil(bitCount / 4) upper-case digits; "-" for a null buffer.
std::string HexOfBits(const uint16_t* words, uint32_t bitCount);

// A table whose every slot records the call and then forwards it to the
// target's slot (slots the target lacks stay null). The slots carry no
// context, so only one recorder may exist at a time.
class TraceRecorder {
public:
    explicit TraceRecorder(const VeltraApi* target);
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    const VeltraApi* api() const { return &table_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // False when memory ran out and a line was dropped.
    bool complete() const { return complete_; }

    // Used by the recording slots.
    static TraceRecorder& Active();
    const VeltraApi& target() const { return *target_; }
    template <typename BuildLine>
    void Record(BuildLine build) noexcept {
        try {
            lines_.push_back(build());
        } catch (...) {
            complete_ = false;
        }
    }

private:
    const VeltraApi* target_;
    VeltraApi table_{};
    std::vector<std::string> lines_;
    bool complete_ = true;
};

// The trace file, opened before the run so that a bad path is found before
// any time is spent; one line per call.
class TraceFile {
public:
    // False (and `error`) when the file cannot be created.
    bool Open(const std::string& path, std::string& error);
    void Write(const char* line);
    // Flushes and closes; false (and `error`) when anything failed to write.
    bool Close(std::string& error);

private:
    std::string path_;
    std::ofstream stream_;
};

}  // namespace svfplay
