#include "failures.h"

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>

namespace svfplay {

namespace {

// Bit positions listed per record; the count says how many there were.
constexpr size_t kMaxBitsListed = VELTRA_SIM_MAX_FAILING_BITS;
constexpr char kErrorsField[] = "ERRORS";
constexpr char kEndOfRecords[] = "END_ERRORS";
constexpr char kScanRecord[] = "TAP";
constexpr char kPioRecord[] = "PAR";
constexpr char kLineField[] = "SVF_LINE";
constexpr char kCommandField[] = "CMD_ID";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// A decimal number at the start of `text`, 0 when there is none (a damaged
// file shows odd numbers rather than stopping svfplay).
uint64_t Number(const std::string& text) { return std::strtoull(text.c_str(), nullptr, 10); }

void AddBit(FailureRecord& record, uint64_t position) {
    if (record.failingBits.size() < kMaxBitsListed) record.failingBits.push_back(position);
    ++record.failingBitCount;
}

void Keep(FailureList& list, std::optional<FailureRecord>& record, uint32_t limit) {
    if (!record) return;
    ++list.total;
    if (list.records.size() < limit) list.records.push_back(std::move(*record));
    record.reset();
}

std::string Plural(uint64_t count, const char* noun) {
    return std::to_string(count) + " failing " + noun + (count == 1 ? "" : "s");
}

const char* RegisterName(const FailureRecord& r) { return r.instructionRegister ? "IR" : "DR"; }

std::string Where(const FailureRecord& r) {
    std::string where;
    if (r.source == FailureRecord::Source::Controller) {
        return RegisterName(r) + std::string(" scan on TAP ") + std::to_string(r.tap) + ", " +
               std::to_string(r.bitCount) + " bits";
    }
    if (r.svfLine) where = "SVF line " + std::to_string(*r.svfLine);
    if (r.command) where = "command " + std::to_string(*r.command);
    return where + (r.tap != 0 ? ", TAP " + std::to_string(r.tap) : ", PIO");
}

}  // namespace

FailureList SimulatorFailures(const SimHooks& sim, uint32_t limit) {
    FailureList list;
    if (!sim.HasFailures()) return list;
    list.total = sim.failureTotal();
    const uint32_t kept = sim.failureCount();
    for (uint32_t i = 0; i < kept && i < limit; ++i) {
        VeltraSimFailure f{};
        if (sim.getFailure(i, &f) != 0) break;
        FailureRecord r;
        r.tap = f.tap;
        r.instructionRegister = f.instructionRegister != 0;
        r.bitCount = f.bitCount;
        r.failingBitCount = f.failingBitCount;
        r.failingBits.assign(f.failingBits, f.failingBits + f.failingBitsListed);
        r.tdi = f.tdi;
        r.expected = f.expected;
        r.mask = f.mask;
        r.captured = f.captured;
        list.records.push_back(std::move(r));
    }
    return list;
}

FailureList ErrorFileFailures(const std::string& path, uint32_t limit) {
    FailureList list;
    std::ifstream in(path, std::ios::binary);
    std::optional<FailureRecord> open;
    bool inRecords = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!inRecords) {
            inRecords = StartsWith(line, kErrorsField);
            continue;
        }
        if (line == kEndOfRecords) break;
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;
        const bool scan = StartsWith(first, kScanRecord);
        if (scan || first == kPioRecord) {
            const auto tap =
                static_cast<uint32_t>(scan ? Number(first.substr(sizeof kScanRecord - 1)) : 0);
            if (second != kCommandField) {  // syntax 1.3: a record per statement
                Keep(list, open, limit);
                open.emplace().source = FailureRecord::Source::ErrorFile;
                open->tap = tap;
                continue;
            }
            // Command-numbered form: one line per bit or pin of a command.
            uint32_t command = 0;
            std::string pinWord, pin, offsetWord;
            uint64_t offset = 0;
            words >> command >> pinWord >> pin >> offsetWord >> offset;
            if (!open || open->command != command || open->tap != tap) {
                Keep(list, open, limit);
                open.emplace().source = FailureRecord::Source::ErrorFile;
                open->tap = tap;
                open->command = command;
            }
            if (scan) {
                AddBit(*open, offset);
            } else {
                open->pins.push_back(pin);
                ++open->failingBitCount;
            }
        } else if (first == kLineField && open) {
            open->svfLine = static_cast<uint32_t>(Number(second));
        } else if (open) {
            std::istringstream numbers(line);
            for (uint64_t position = 0; numbers >> position;) AddBit(*open, position);
        }
    }
    Keep(list, open, limit);
    return list;
}

void WriteFailures(std::ostream& out, const FailureList& list, const char* heading) {
    if (list.total == 0) return;
    out << heading << " (";
    if (list.records.size() < list.total) out << "first " << list.records.size() << " of ";
    out << list.total << "):\n";
    size_t number = 0;
    for (const FailureRecord& r : list.records) {
        const bool pins = !r.pins.empty();
        out << "  " << ++number << ". " << Where(r) << ": "
            << Plural(r.failingBitCount, r.tap == 0 ? "pin" : "bit") << ":";
        for (const auto& pin : r.pins) out << ' ' << pin;
        for (const uint64_t bit : r.failingBits) out << ' ' << bit;
        if (!pins && r.failingBits.size() < r.failingBitCount) out << " ...";
        out << '\n';
        if (r.expected.empty()) continue;
        out << "       expected " << r.expected << "\n       captured " << r.captured
            << "\n       mask     " << r.mask << '\n';
    }
}

nlohmann::json FailuresJson(const FailureList& list) {
    nlohmann::json records = nlohmann::json::array();
    for (const FailureRecord& r : list.records) {
        nlohmann::json record = {
            {"tap", r.tap}, {"failingBitCount", r.failingBitCount}, {"failingBits", r.failingBits}};
        if (r.source == FailureRecord::Source::Controller) {
            record["source"] = "controller";
            record["register"] = RegisterName(r);
            record["bitCount"] = r.bitCount;
            for (const auto& [key, value] : {std::pair{"tdi", &r.tdi},
                                             {"expected", &r.expected},
                                             {"mask", &r.mask},
                                             {"captured", &r.captured}}) {
                record[key] = value->empty() ? nlohmann::json(nullptr) : nlohmann::json(*value);
            }
        } else {
            record["source"] = "errorFile";
            record["svfLine"] = r.svfLine ? nlohmann::json(*r.svfLine) : nlohmann::json(nullptr);
            if (r.command) record["command"] = *r.command;
            if (r.tap == 0) record["pins"] = r.pins;
        }
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace svfplay
