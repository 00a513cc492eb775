// Where a failing run failed. Without an ERROR file the controller compares,
// and only veltra-sim can tell which scans and bits failed; with one, the
// player wrote every failing statement's SVF line and bits there, and svfplay
// reads them back. svfplay never parses SVF itself.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "libraries.h"

namespace svfplay {

struct FailureRecord {
    enum class Source { Controller, ErrorFile };
    Source source = Source::Controller;
    uint32_t tap = 0;                  // 0: a PIO check
    bool instructionRegister = false;  // controller records: IR or DR scan
    uint64_t bitCount = 0;             // controller records
    std::optional<uint32_t> svfLine;   // ERROR file, syntax 1.3
    std::optional<uint32_t> command;   // ERROR file, command-numbered form
    uint64_t failingBitCount = 0;
    std::vector<uint64_t> failingBits;          // bit positions, or PIO positions
    std::vector<std::string> pins;              // PIO pins of the command-numbered form
    std::string tdi, expected, mask, captured;  // controller records, SVF hex
};

// The failures and how many there were in all (records beyond `limit` are
// counted, not kept).
struct FailureList {
    std::vector<FailureRecord> records;
    uint64_t total = 0;
};

// veltra-sim's failing compare shifts; empty for another controller.
FailureList SimulatorFailures(const SimHooks& sim, uint32_t limit);

// The failure records of an ERROR file in either form; empty when it cannot
// be read.
FailureList ErrorFileFailures(const std::string& path, uint32_t limit);

// The human lines: a heading and each record with its bits and values.
void WriteFailures(std::ostream& out, const FailureList& list, const char* heading);

nlohmann::json FailuresJson(const FailureList& list);

}  // namespace svfplay
