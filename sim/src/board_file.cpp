#include "board_file.h"

#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <stdexcept>

#include <toml++/toml.h>

#include "svfplayer/svf_player.h"

namespace veltrasim {
namespace {

constexpr uint32_t kMaxIrLength = 4096;
constexpr uint32_t kMaxRegisterLength = 1u << 24;
constexpr uint64_t kMaxVersionPart = 0xFFFF;
constexpr uint32_t kVersionShift = 16;
constexpr unsigned kBitsPerHexDigit = 4;

std::optional<unsigned> HexDigitValue(char c) {
    constexpr unsigned kTen = 10;
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A') + kTen;
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a') + kTen;
    return std::nullopt;
}

class BoardError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::string Join(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Indexed(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// Reads one board description; every problem becomes a BoardError naming
// the source, the line, the key and what is wrong with it.
class Reader {
  public:
    explicit Reader(std::string_view source) : source_(source) {}

    BoardConfig Read(const toml::table& root) {
        CheckKeys(root, "", {"controller", "tap", "pod"});
        BoardConfig board = DefaultBoard();
        if (const toml::table* controller = TableAt(root, "", "controller")) {
            ReadController(*controller, board.controller);
        }
        if (const toml::array* taps = ArrayAt(root, "", "tap")) ReadTaps(*taps, board);
        if (const toml::table* pod = TableAt(root, "", "pod")) ReadPod(*pod, board.pod);
        return board;
    }

  private:
    [[noreturn]] void Fail(const toml::node& node, const std::string& key,
                           const std::string& what) const {
        std::ostringstream text;
        text << source_ << ':' << node.source().begin.line << ": " << key << ": " << what;
        throw BoardError(text.str());
    }

    void CheckKeys(const toml::table& table, const std::string& path,
                   std::initializer_list<std::string_view> allowed) const {
        for (auto&& [key, node] : table) {
            bool known = false;
            for (std::string_view name : allowed) known = known || key.str() == name;
            if (!known) Fail(node, Join(path, key.str()), "unknown key");
        }
    }

    const toml::table* TableAt(const toml::table& t, const std::string& path,
                               std::string_view key) const {
        const toml::node* node = t.get(key);
        return node ? &AsTable(*node, Join(path, key)) : nullptr;
    }

    // An array of tables ([[key]]), or an inline array.
    const toml::array* ArrayAt(const toml::table& t, const std::string& path,
                               std::string_view key) const {
        const toml::node* node = t.get(key);
        if (!node) return nullptr;
        if (!node->is_array()) Fail(*node, Join(path, key), "must be an array");
        return node->as_array();
    }

    const toml::table& AsTable(const toml::node& node, const std::string& path) const {
        if (!node.is_table()) Fail(node, path, "must be a table");
        return *node.as_table();
    }

    uint64_t AsNumber(const toml::node& node, const std::string& path, uint64_t min,
                      uint64_t max) const {
        const auto value = node.value_exact<int64_t>();
        if (!value) Fail(node, path, "must be an integer");
        if (*value < 0 || static_cast<uint64_t>(*value) < min ||
            static_cast<uint64_t>(*value) > max) {
            Fail(node, path,
                 "must be " + std::to_string(min) + " to " + std::to_string(max) + ", not " +
                     std::to_string(*value));
        }
        return static_cast<uint64_t>(*value);
    }

    std::optional<uint64_t> Number(const toml::table& t, const std::string& path,
                                   std::string_view key, uint64_t min, uint64_t max) const {
        const toml::node* node = t.get(key);
        if (!node) return std::nullopt;
        return AsNumber(*node, Join(path, key), min, max);
    }

    uint64_t RequiredNumber(const toml::table& t, const std::string& path, std::string_view key,
                            uint64_t min, uint64_t max) const {
        const auto value = Number(t, path, key, min, max);
        if (!value) Fail(t, Join(path, key), "is missing");
        return *value;
    }

    void ReadBool(const toml::table& t, const std::string& path, std::string_view key,
                  bool& target) const {
        const toml::node* node = t.get(key);
        if (!node) return;
        const auto value = node->value_exact<bool>();
        if (!value) Fail(*node, Join(path, key), "must be true or false");
        target = *value;
    }

    std::string AsString(const toml::node& node, const std::string& path) const {
        const auto value = node.value_exact<std::string>();
        if (!value) Fail(node, path, "must be a string");
        return *value;
    }

    // A register value: an integer, or a string of hex digits (most
    // significant first, as in SVF) for registers longer than 63 bits.
    Bits AsValue(const toml::node& node, const std::string& path, uint32_t length) const {
        Bits bits(length, 0);
        if (node.is_integer()) {
            uint64_t value = AsNumber(node, path, 0, INT64_MAX);
            for (uint32_t i = 0; value != 0; ++i, value >>= 1) {
                if (i >= length)
                    Fail(node, path, "does not fit in " + std::to_string(length) + " bits");
                bits[i] = static_cast<uint8_t>(value & 1u);
            }
            return bits;
        }
        if (!node.is_string()) Fail(node, path, "must be an integer or a string of hex digits");
        const std::string hex = *node.value_exact<std::string>();
        if (hex.empty()) Fail(node, path, "must hold hex digits");
        uint64_t bit = 0;
        for (auto digit = hex.rbegin(); digit != hex.rend(); ++digit) {
            const auto value = HexDigitValue(*digit);
            if (!value) Fail(node, path, "'" + std::string(1, *digit) + "' is not a hex digit");
            for (unsigned b = 0; b < kBitsPerHexDigit; ++b, ++bit) {
                if (!((*value >> b) & 1u)) continue;
                if (bit >= length)
                    Fail(node, path, "does not fit in " + std::to_string(length) + " bits");
                bits[bit] = 1;
            }
        }
        return bits;
    }

    void ReadController(const toml::table& t, ControllerConfig& c) const {
        const std::string path = "controller";
        CheckKeys(t, path,
                  {"version", "type", "frequency_khz", "max_frequency_khz", "long_shifts",
                   "info_record", "info_fields", "buffering", "buffer_depths", "tck_idle_state",
                   "flag_length", "compare", "ganging", "trst", "pio"});
        if (const toml::node* node = t.get("version")) c.version = ReadVersion(*node);
        c.type = static_cast<uint32_t>(Number(t, path, "type", 0, UINT32_MAX).value_or(c.type));
        c.frequencyKhz = static_cast<uint32_t>(
            Number(t, path, "frequency_khz", 1, UINT32_MAX).value_or(c.frequencyKhz));
        c.maxFrequencyKhz = static_cast<uint32_t>(
            Number(t, path, "max_frequency_khz", 1, UINT32_MAX).value_or(c.maxFrequencyKhz));
        if (c.frequencyKhz > c.maxFrequencyKhz) {
            const toml::node* node = t.get("frequency_khz");
            Fail(node ? *node : t, Join(path, "frequency_khz"), "is above max_frequency_khz");
        }
        ReadBool(t, path, "long_shifts", c.longShifts);
        ReadBool(t, path, "info_record", c.infoRecord);
        ReadBool(t, path, "buffering", c.buffering);
        ReadBool(t, path, "tck_idle_state", c.tckIdleState);
        ReadBool(t, path, "flag_length", c.flagLength);
        ReadBool(t, path, "compare", c.compareMode);
        ReadBool(t, path, "ganging", c.ganging);
        ReadBool(t, path, "trst", c.trst);
        ReadBool(t, path, "pio", c.pio);
        if (const toml::array* fields = ArrayAt(t, path, "info_fields")) {
            c.infoValidBits = ReadInfoFields(*fields, Join(path, "info_fields"));
        }
        if (const toml::array* depths = ArrayAt(t, path, "buffer_depths")) {
            c.bufferDepths.clear();
            for (std::size_t i = 0; i < depths->size(); ++i) {
                c.bufferDepths.push_back(static_cast<uint32_t>(AsNumber(
                    *depths->get(i), Indexed(Join(path, "buffer_depths"), i), 1, UINT32_MAX)));
            }
        }
    }

    uint32_t ReadVersion(const toml::node& node) const {
        const std::string path = "controller.version";
        const std::string text = AsString(node, path);
        const auto dot = text.find('.');
        const auto part = [&](std::string_view digits) {
            if (digits.empty() || digits.size() > 5 ||
                digits.find_first_not_of("0123456789") != std::string_view::npos) {
                Fail(node, path, "must be \"major.minor\", not \"" + text + "\"");
            }
            uint64_t value = 0;
            for (char digit : digits) value = value * 10 + static_cast<uint64_t>(digit - '0');
            if (value > kMaxVersionPart) Fail(node, path, "parts must be 0 to 65535");
            return static_cast<uint32_t>(value);
        };
        if (dot == std::string::npos) part("");
        return part(std::string_view(text).substr(0, dot)) << kVersionShift |
               part(std::string_view(text).substr(dot + 1));
    }

    uint32_t ReadInfoFields(const toml::array& fields, const std::string& path) const {
        uint32_t bits = 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string name = AsString(*fields.get(i), Indexed(path, i));
            if (name == "type") {
                bits |= VELTRA_INFO_TYPE_VALID;
            } else if (name == "frequency") {
                bits |= VELTRA_INFO_FREQUENCY_VALID;
            } else if (name == "long_shifts") {
                bits |= VELTRA_INFO_LONG_SHIFT_VALID;
            } else {
                Fail(*fields.get(i), Indexed(path, i),
                     "unknown field '" + name + "' (type, frequency, long_shifts)");
            }
        }
        return bits;
    }

    void ReadTaps(const toml::array& taps, BoardConfig& board) const {
        // Describing any TAP describes the whole board: the others are empty.
        for (TapConfig& tap : board.taps) tap = TapConfig{};
        std::set<uint64_t> seen;
        for (std::size_t i = 0; i < taps.size(); ++i) {
            const std::string path = Indexed("tap", i);
            const toml::table& t = AsTable(*taps.get(i), path);
            CheckKeys(t, path, {"number", "trst", "device"});
            TapConfig config;
            ReadBool(t, path, "trst", config.trstWired);
            if (const toml::array* devices = ArrayAt(t, path, "device")) {
                for (std::size_t d = 0; d < devices->size(); ++d) {
                    const std::string devicePath = Indexed(Join(path, "device"), d);
                    config.devices.push_back(
                        ReadDevice(AsTable(*devices->get(d), devicePath), devicePath));
                }
            }
            for (uint64_t number : TapNumbers(t, path)) {
                if (!seen.insert(number).second) {
                    Fail(*t.get("number"), Join(path, "number"),
                         "TAP " + std::to_string(number) + " is described twice");
                }
                board.taps[number - 1] = config;
            }
        }
    }

    std::vector<uint64_t> TapNumbers(const toml::table& t, const std::string& path) const {
        const toml::node* node = t.get("number");
        const std::string key = Join(path, "number");
        if (!node) Fail(t, key, "is missing");
        if (!node->is_array()) return {AsNumber(*node, key, 1, kTapCount)};
        std::vector<uint64_t> numbers;
        const toml::array& list = *node->as_array();
        for (std::size_t i = 0; i < list.size(); ++i) {
            numbers.push_back(AsNumber(*list.get(i), Indexed(key, i), 1, kTapCount));
        }
        return numbers;
    }

    DeviceConfig ReadDevice(const toml::table& t, const std::string& path) const {
        CheckKeys(t, path,
                  {"name", "ir_length", "ir_capture", "idcode", "instructions", "register"});
        DeviceConfig device;
        if (const toml::node* name = t.get("name"))
            device.name = AsString(*name, Join(path, "name"));
        device.irLength =
            static_cast<uint32_t>(RequiredNumber(t, path, "ir_length", 2, kMaxIrLength));
        device.irCapture = BitsOf(1, device.irLength);
        if (const toml::node* capture = t.get("ir_capture")) {
            device.irCapture = AsValue(*capture, Join(path, "ir_capture"), device.irLength);
            if (device.irCapture[0] != 1 || device.irCapture[1] != 0) {
                Fail(*capture, Join(path, "ir_capture"), "must end in binary 01");
            }
        }
        if (const toml::node* idcode = t.get("idcode")) {
            const uint64_t value = AsNumber(*idcode, Join(path, "idcode"), 0, UINT32_MAX);
            if ((value & 1u) == 0) Fail(*idcode, Join(path, "idcode"), "must have bit 0 set");
            device.idcode = static_cast<uint32_t>(value);
        }
        if (const toml::table* instructions = TableAt(t, path, "instructions")) {
            ReadInstructions(*instructions, Join(path, "instructions"), device);
        }
        if (const toml::array* registers = ArrayAt(t, path, "register")) {
            for (std::size_t r = 0; r < registers->size(); ++r) {
                const std::string regPath = Indexed(Join(path, "register"), r);
                device.registers.push_back(
                    ReadRegister(AsTable(*registers->get(r), regPath), regPath, device));
            }
        }
        return device;
    }

    void ReadInstructions(const toml::table& t, const std::string& path,
                          DeviceConfig& device) const {
        std::set<std::string> opcodes;
        const std::string allOnes(device.irLength, '1');
        for (auto&& [key, node] : t) {
            const std::string name(key.str());
            const std::string keyPath = Join(path, name);
            Bits opcode = AsValue(node, keyPath, device.irLength);
            const std::string bits = KeyOf(opcode);
            if (bits == allOnes && name != "BYPASS")
                Fail(node, keyPath, "all ones is the BYPASS opcode");
            if (name == "IDCODE" && !device.idcode) Fail(node, keyPath, "the device has no idcode");
            if (!opcodes.insert(bits).second) Fail(node, keyPath, "opcode is used twice");
            device.instructions[name] = std::move(opcode);
        }
    }

    RegisterConfig ReadRegister(const toml::table& t, const std::string& path,
                                const DeviceConfig& device) const {
        CheckKeys(t, path, {"name", "length", "mode", "value", "instructions"});
        RegisterConfig reg;
        const toml::node* name = t.get("name");
        if (!name) Fail(t, Join(path, "name"), "is missing");
        reg.name = AsString(*name, Join(path, "name"));
        if (reg.name == "BYPASS" || reg.name == "IDCODE") {
            Fail(*name, Join(path, "name"), reg.name + " is built in");
        }
        for (const RegisterConfig& other : device.registers) {
            if (other.name == reg.name) Fail(*name, Join(path, "name"), "register named twice");
        }
        reg.length =
            static_cast<uint32_t>(RequiredNumber(t, path, "length", 1, kMaxRegisterLength));
        if (const toml::node* mode = t.get("mode")) {
            const std::string text = AsString(*mode, Join(path, "mode"));
            if (text != "fixed" && text != "read_back") {
                Fail(*mode, Join(path, "mode"), "must be \"fixed\" or \"read_back\"");
            }
            reg.readBack = text == "read_back";
        }
        const toml::node* value = t.get("value");
        reg.capture =
            value ? AsValue(*value, Join(path, "value"), reg.length) : Bits(reg.length, 0);
        if (const toml::array* aliases = ArrayAt(t, path, "instructions")) {
            for (std::size_t i = 0; i < aliases->size(); ++i) {
                const std::string aliasPath = Indexed(Join(path, "instructions"), i);
                std::string alias = AsString(*aliases->get(i), aliasPath);
                if (!device.instructions.count(alias)) {
                    Fail(*aliases->get(i), aliasPath, "no instruction named '" + alias + "'");
                }
                reg.instructions.push_back(std::move(alias));
            }
        }
        return reg;
    }

    void ReadPod(const toml::table& t, PodConfig& pod) const {
        const std::string path = "pod";
        CheckKeys(t, path, {"pull", "in_use", "wire", "drive"});
        if (const toml::node* pull = t.get("pull")) {
            const std::string text = AsString(*pull, "pod.pull");
            if (text == "high") {
                pod.pull = Pull::kHigh;
            } else if (text == "low") {
                pod.pull = Pull::kLow;
            } else if (text == "none") {
                pod.pull = Pull::kNone;
            } else {
                Fail(*pull, "pod.pull", "must be \"high\", \"low\" or \"none\"");
            }
        }
        if (const toml::array* inUse = ArrayAt(t, path, "in_use")) {
            for (std::size_t i = 0; i < inUse->size(); ++i) {
                const PinRef pin = ReadPin(*inUse->get(i), Indexed("pod.in_use", i), false);
                pod.inUse[pin.tap - 1] |= 1u << (pin.pin - 1);
            }
        }
        if (const toml::array* wires = ArrayAt(t, path, "wire")) {
            for (std::size_t i = 0; i < wires->size(); ++i) {
                const std::string wirePath = Indexed("pod.wire", i);
                const toml::table& w = AsTable(*wires->get(i), wirePath);
                CheckKeys(w, wirePath, {"from", "to"});
                pod.wires.push_back(
                    {ReadPin(Required(w, wirePath, "from"), Join(wirePath, "from"), true),
                     ReadPin(Required(w, wirePath, "to"), Join(wirePath, "to"), false)});
            }
        }
        if (const toml::array* drives = ArrayAt(t, path, "drive")) {
            for (std::size_t i = 0; i < drives->size(); ++i) {
                const std::string drivePath = Indexed("pod.drive", i);
                const toml::table& d = AsTable(*drives->get(i), drivePath);
                CheckKeys(d, drivePath, {"pin", "level"});
                PodConfig::Level level;
                level.pin = ReadPin(Required(d, drivePath, "pin"), Join(drivePath, "pin"), false);
                const toml::node& levelNode = Required(d, drivePath, "level");
                const std::string text = AsString(levelNode, Join(drivePath, "level"));
                if (text != "high" && text != "low") {
                    Fail(levelNode, Join(drivePath, "level"), "must be \"high\" or \"low\"");
                }
                level.high = text == "high";
                pod.levels.push_back(level);
            }
        }
    }

    const toml::node& Required(const toml::table& t, const std::string& path,
                               std::string_view key) const {
        const toml::node* node = t.get(key);
        if (!node) Fail(t, Join(path, key), "is missing");
        return *node;
    }

    // "tap.pin" (TAP 1 to 4, pin 1 to 4), or a pod signal name.
    PinRef ReadPin(const toml::node& node, const std::string& path, bool allowSignal) const {
        const std::string text = AsString(node, path);
        static const char* const kSignals[kPodSignalCount] = {"USER0", "USER1", "VPP_E"};
        for (uint32_t s = 0; s < kPodSignalCount; ++s) {
            if (text != kSignals[s]) continue;
            if (!allowSignal) Fail(node, path, "a pod signal cannot be used here");
            PinRef ref;
            ref.kind = PinRef::Kind::kSignal;
            ref.signal = s;
            return ref;
        }
        constexpr std::size_t kPinTextLength = 3;  // "t.p"
        const auto inRange = [](char c, uint32_t last) {
            return c >= '1' && static_cast<uint32_t>(c - '0') <= last;
        };
        if (text.size() != kPinTextLength || text[1] != '.' || !inRange(text[0], kPodTapCount) ||
            !inRange(text[2], kPinsPerTap)) {
            Fail(node, path,
                 "\"" + text + "\" is not a pod pin \"tap.pin\" (1.1 to 4.4)" +
                     (allowSignal ? " or USER0, USER1, VPP_E" : ""));
        }
        PinRef ref;
        ref.tap = static_cast<uint32_t>(text[0] - '0');
        ref.pin = static_cast<uint32_t>(text[2] - '0');
        return ref;
    }

    std::string source_;
};

}  // namespace

BoardResult ParseBoard(std::string_view toml, std::string_view sourceName) {
    try {
        const toml::table root = toml::parse(toml, sourceName);
        return {std::make_shared<const BoardConfig>(Reader(sourceName).Read(root)), {}};
    } catch (const toml::parse_error& e) {
        std::ostringstream text;
        text << sourceName << ':' << e.source().begin.line << ':' << e.source().begin.column << ": "
             << e.description();
        return {nullptr, text.str()};
    } catch (const BoardError& e) {
        return {nullptr, e.what()};
    }
}

BoardResult ReadBoardFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {nullptr, path + ": cannot open the board file"};
    std::ostringstream content;
    content << file.rdbuf();
    if (!file && !file.eof()) return {nullptr, path + ": cannot read the board file"};
    return ParseBoard(content.str(), path);
}

}  // namespace veltrasim
