// The CNN connection file reader: one pass over the characters, cutting them
// into words, and a state machine over the words that builds the connection
// model. Every error is reported once, where it is found, and ends the read;
// the file and whatever part of the model was built are released by their
// owners on every path.
#include "cnn/cnn_file.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "report/report.h"
#include "session.h"

namespace svf {
namespace {

// 299 characters is the longest word; the 300th is an error.
constexpr size_t kMaxWordLength = 299;

constexpr const char* kSyntaxVersion = "1.2";
constexpr const char* kCompareCharacters = "01236789";

enum class State {
    kStart,
    kVersion,
    kTop,
    kChannelTap,
    kChannelBody,
    kInitOpen,
    kInitStep,
    kIrExpected,
    kIrBlock,
    kDrExpected,
    kDrBlock,
    kTermOrEnd,
    kTermOpen,
    kTermStep,
    kEndExpected,
};

// Keyword errors: each format takes the word and the line number.
constexpr const char* kUnknownVersion = "Unknown syntax version %s near line %d  #CC03";
constexpr const char* kUnknownTesterChannel = "Unknown Tester Channel %s near line %d  #CC05";
constexpr const char* kUnknownBoardTap = "Unknown board TAP %s near line %d  #CC08";
constexpr const char* kUnexpectedAfterTap = "Unexpected keyword %s near line %d  #CC13";
constexpr const char* kExpectedIrShift =
    "Unexpected keyword %s, expected IR_SHIFT near line %d  #CC15";
constexpr const char* kExpectedDrShift =
    "Unexpected keyword %s, expected DR_SHIFT near line %d  #CC17";
constexpr const char* kUnexpectedAfterDr = "Unexpected keyword %s near line %d  #CC19";
constexpr const char* kExpectedEndChannel =
    "Unexpected keyword %s, expected END_TESTER_CHANNEL near line %d  #CC20";
constexpr const char* kUnexpectedInOpenSequence = "Unexpected keyword %s near line %d  #CC21";
constexpr const char* kEmptyStepBeforeStep =
    "Unexpected keyword %s, expected pattern or boardtap near line %d  #CC24";
constexpr const char* kEmptyStepAtEndInit =
    "Unexpected keyword %s, expected pattern or boardtap near line %d  #CC25";
constexpr const char* kEmptyStepAtEndTerm =
    "Unexpected keyword %s, expected pattern or boardtap near line %d  #CC26";
constexpr const char* kEmptyIrBlock =
    "Unexpected keyword %s, expected pattern or boardtap near line %d  #CC27";
constexpr const char* kEmptyDrBlock =
    "Unexpected keyword %s, expected pattern or boardtap near line %d  #CC28";
constexpr const char* kUnexpectedEnd = "Error #CC03: Unexpected end of CNN file";

// Where the reader allocates. Each site reports "Memory allocation error
// #CCnn" (two spaces before the #) with its value as nn.
enum class AllocationSite : int {
    kChannel = 4,            // a TesterChannel; the only one sent with sequence 1
    kFirstInitStep = 6,      // the first step after INIT_SEQ
    kIrBlockAfterTap = 7,    // IR_SHIFT right after the tester TAP
    kShortIrBlock = 9,       // short form: the IR block
    kShortIrSegment = 10,    // short form: the IR block's board TAP segment
    kShortDrBlock = 11,      // short form: the DR block
    kShortDrSegment = 12,    // short form: the DR block's board TAP segment
    kIrBlockAfterInit = 14,  // IR_SHIFT after the init sequence
    kDrBlock = 16,           // DR_SHIFT
    kFirstTermStep = 18,     // the first step after TERM_SEQ
    kNextStep = 23,          // a further step of a sequence
    kStepSegment = 29,       // a segment of a sequence step
    kIrSegment = 30,         // a segment of the IR block
    kDrSegment = 31,         // a segment of the DR block
    kExtendedDrive = 32,     // drive bits of a pattern that grows
    kNewDrive = 33,          // drive bits of a new pattern
    kExtendedCompare = 34,   // compare bits of a growing pattern that had them
    kExtendedExpected = 35,  // expected bits of a growing pattern that had them
    kNewCompare = 36,        // compare bits first needed by this word
    kNewExpected = 37,       // expected bits first needed by this word
};

// Bits that one pattern character sets at its position.
struct PatternBits {
    bool valid;
    bool drive;
    bool compare;
    bool expected;
};

PatternBits BitsOf(char c) {
    switch (c) {
        case '0':
        case '2':
        case '6': return {true, false, true, false};
        case '1':
        case '3':
        case '7': return {true, false, true, true};
        case '4': return {true, false, false, false};
        case '5': return {true, true, false, false};
        case '8': return {true, true, true, false};
        case '9': return {true, true, true, true};
        case 'H': return {true, true, false, false};
        case 'L':
        case 'X':
        case 'Z': return {true, false, false, false};
        default: return {false, false, false, false};
    }
}

bool IsWhiteSpace(int c) { return std::isspace(c) != 0; }

// "TAP" followed by a decimal number with an optional sign; characters after
// the number are ignored. The value wraps to 32 bits like an unsigned field.
bool ParseTapNumber(const char* word, uint32_t& number) {
    if (std::strncmp(word, "TAP", 3) != 0) return false;
    const char* p = word + 3;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    uint32_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    number = negative ? 0u - value : value;
    return true;
}

bool TryAllocate(BitVector& bits, uint32_t bitCount) {
    BitVector fresh;
    if (!TryResize(fresh, WordsFor(bitCount))) return false;
    bits = std::move(fresh);
    return true;
}

// ORs the bits of `source` into `destination` from bit `offset` on; what
// would fall beyond `destination` is dropped.
void OrBitsAt(BitVector& destination, const BitVector& source, uint32_t offset) {
    const uint32_t shift = offset % kBitsPerWord;
    size_t index = offset / kBitsPerWord;
    for (uint16_t word : source) {
        if (index >= destination.size()) break;
        destination[index] = static_cast<uint16_t>(destination[index] | (word << shift));
        if (shift != 0 && index + 1 < destination.size()) {
            destination[index + 1] =
                static_cast<uint16_t>(destination[index + 1] | (word >> (kBitsPerWord - shift)));
        }
        ++index;
    }
}

template <class T>
std::unique_ptr<T> TryNew() {
    try {
        return std::make_unique<T>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Appends a default item; false, with `items` unchanged, when the memory for
// it cannot be had. Each site that calls it has its own memory message.
template <class T>
bool TryAppend(std::vector<T>& items) {
    try {
        items.emplace_back();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

class CnnReader {
  public:
    CnnReader(const char* path, const SvfReport* report) : path_(path), report_(report) {}

    CnnModel Read();

  private:
    // Character level.
    bool ReadCharacters();
    bool EndWord();
    bool SkipWhiteSpaceRun(int& c);

    // Word level: one handler per group of states.
    bool ProcessWord();
    bool OnTop();
    bool OnChannelTap();
    bool OnChannelBody();
    bool OnSequenceOpen(const char* endKeyword, State stepState, State closedState);
    bool OnSequenceStep(const char* endKeyword, const char* emptyMessage, State closedState);
    bool OnBlock(const char* endKeyword, const char* emptyMessage, AllocationSite segmentSite,
                 State closedState);
    bool OnExpected(const char* keyword, AllocationSite memorySite, const char* otherMessage,
                    uint32_t kind, std::unique_ptr<ShiftStep> TesterChannel::*slot,
                    State blockState);

    bool BuildShortForm(uint32_t boardTap);
    bool StartBlock(std::unique_ptr<ShiftStep>& slot, uint32_t kind, AllocationSite memorySite);
    bool StartFirstStep(std::vector<ShiftStep>& sequence, AllocationSite memorySite);
    bool AppendStep(uint32_t kind);
    std::vector<ShiftStep>& OpenSequence();
    bool AddItem(AllocationSite segmentSite);
    bool AddBoardTap(uint32_t boardTap, AllocationSite segmentSite);
    bool AddPatternWord(AllocationSite segmentSite);
    ChainSegment* PushSegment(AllocationSite segmentSite);

    // The word as read: a NUL byte is one of its characters.
    std::string_view Word() const { return {word_.data(), wordLength_}; }
    bool WordIs(const char* keyword) const { return Word() == keyword; }
    bool WordIsStepKind(uint32_t& kind) const;

    // Reporting: every message is an error for the host, outside the counter.
    bool MemoryError(AllocationSite site);
    bool KeywordError(const char* format);
    bool Fail(const char* text);

    const char* path_;
    const SvfReport* report_;
    FilePtr file_;

    std::array<char, kMaxWordLength + 1> word_{};
    size_t wordLength_ = 0;
    int line_ = 1;

    State state_ = State::kStart;
    bool trstRestricted_ = false;
    bool trstFree_ = false;
    int channelCount_ = 0;

    CnnModel model_;
    TesterChannel* channel_ = nullptr;  // the last channel of model_
    ShiftStep* step_ = nullptr;         // the open step or block
    uint32_t itemCount_ = 0;
    bool patternOpen_ = false;
};

CnnModel CnnReader::Read() {
    file_.reset(platform::OpenInputFile(path_));
    if (!file_) {
        ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0,
                         "Error opening file '%s'  #CC01", path_ != nullptr ? path_ : "");
        return {};
    }
    const bool read = ReadCharacters();
    file_.reset();
    if (!read) return {};
    if (state_ != State::kTop || channelCount_ == 0) {
        ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0,
                         "Unexpected end of CNN file '%s'  #CC39", path_);
        return {};
    }
    return std::move(model_);
}

// Between words, spaces, tabs and newlines are taken one by one; any other
// white space starts a run that is skipped as a whole. A word ends at the
// first white-space character, which is then taken as between words.
bool CnnReader::ReadCharacters() {
    bool inWord = false;
    bool inComment = false;
    int c;
    while ((c = platform::GetTextChar(file_.get())) != EOF) {
        c = std::toupper(c);
        if (inWord) {
            if (!IsWhiteSpace(c)) {
                if (wordLength_ == kMaxWordLength) {
                    ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0,
                                     "Error #CC02: Line %d of CNN file too long", line_);
                    return false;
                }
                word_[wordLength_++] = static_cast<char>(c);
                continue;
            }
            inWord = false;
            if (!EndWord()) return false;
        }
        if (inComment) {
            if (c == '\n') {
                ++line_;
                inComment = false;
            }
            continue;
        }
        if (c == ' ' || c == '\t') continue;
        if (c == '\n') {
            ++line_;
            continue;
        }
        if (IsWhiteSpace(c) && !SkipWhiteSpaceRun(c)) return false;
        if (c == '!') {
            inComment = true;
            continue;
        }
        inWord = true;
        wordLength_ = 0;
        word_[wordLength_++] = static_cast<char>(c);
    }
    if (inWord) return Fail(kUnexpectedEnd);
    return true;
}

// Skips a run of white space that began with `c`; leaves in `c` the first
// character after it. The file may not end inside the run.
bool CnnReader::SkipWhiteSpaceRun(int& c) {
    while (IsWhiteSpace(c)) {
        if (c == '\n') ++line_;
        c = platform::GetTextChar(file_.get());
        if (c == EOF) return Fail(kUnexpectedEnd);
        c = std::toupper(c);
    }
    return true;
}

bool CnnReader::EndWord() {
    word_[wordLength_] = '\0';
    return ProcessWord();
}

bool CnnReader::ProcessWord() {
    switch (state_) {
        case State::kStart:
            if (WordIs("SYNTAX_VERSION")) state_ = State::kVersion;
            return true;
        case State::kVersion:
            if (!WordIs(kSyntaxVersion)) return KeywordError(kUnknownVersion);
            state_ = State::kTop;
            return true;
        case State::kTop: return OnTop();
        case State::kChannelTap: return OnChannelTap();
        case State::kChannelBody: return OnChannelBody();
        case State::kInitOpen:
            return OnSequenceOpen("END_INIT_SEQ", State::kInitStep, State::kIrExpected);
        case State::kInitStep:
            return OnSequenceStep("END_INIT_SEQ", kEmptyStepAtEndInit, State::kIrExpected);
        case State::kIrExpected:
            return OnExpected("IR_SHIFT", AllocationSite::kIrBlockAfterInit, kExpectedIrShift,
                              kStepIr, &TesterChannel::irShift, State::kIrBlock);
        case State::kIrBlock:
            return OnBlock("END_IR_SHIFT", kEmptyIrBlock, AllocationSite::kIrSegment,
                           State::kDrExpected);
        case State::kDrExpected:
            return OnExpected("DR_SHIFT", AllocationSite::kDrBlock, kExpectedDrShift, kStepDr,
                              &TesterChannel::drShift, State::kDrBlock);
        case State::kDrBlock:
            return OnBlock("END_DR_SHIFT", kEmptyDrBlock, AllocationSite::kDrSegment,
                           State::kTermOrEnd);
        case State::kTermOrEnd:
            if (WordIs("TERM_SEQ")) {
                if (!StartFirstStep(channel_->termSeq, AllocationSite::kFirstTermStep))
                    return false;
                state_ = State::kTermOpen;
                return true;
            }
            if (!WordIs("END_TESTER_CHANNEL")) return KeywordError(kUnexpectedAfterDr);
            state_ = State::kTop;
            return true;
        case State::kTermOpen:
            return OnSequenceOpen("END_TERM_SEQ", State::kTermStep, State::kEndExpected);
        case State::kTermStep:
            return OnSequenceStep("END_TERM_SEQ", kEmptyStepAtEndTerm, State::kEndExpected);
        case State::kEndExpected:
            if (!WordIs("END_TESTER_CHANNEL")) {
                return KeywordError(kExpectedEndChannel);
            }
            state_ = State::kTop;
            return true;
    }
    return true;
}

bool CnnReader::OnTop() {
    if (WordIs("TRST_RESTRICTED")) {
        trstRestricted_ = true;
    } else if (WordIs("TRST_FREE")) {
        trstFree_ = true;
    } else if (WordIs("TESTER_CHANNEL")) {
        if (!TryAppend(model_)) return MemoryError(AllocationSite::kChannel);
        channel_ = &model_.back();
        channel_->trstRestricted = trstRestricted_ ? 1 : 0;
        channel_->trstFree = trstFree_ ? 1 : 0;
        state_ = State::kChannelTap;
    }
    return true;
}

bool CnnReader::OnChannelTap() {
    uint32_t tap = 0;
    if (!ParseTapNumber(word_.data(), tap)) return KeywordError(kUnknownTesterChannel);
    channel_->testerTap = tap;
    ++channelCount_;
    state_ = State::kChannelBody;
    return true;
}

bool CnnReader::OnChannelBody() {
    if (WordIs("INIT_SEQ")) {
        if (!StartFirstStep(channel_->initSeq, AllocationSite::kFirstInitStep)) return false;
        state_ = State::kInitOpen;
        return true;
    }
    if (WordIs("IR_SHIFT")) {
        if (!StartBlock(channel_->irShift, kStepIr, AllocationSite::kIrBlockAfterTap)) return false;
        state_ = State::kIrBlock;
        return true;
    }
    if (std::strncmp(word_.data(), "TAP", 3) != 0) return KeywordError(kUnexpectedAfterTap);
    uint32_t boardTap = 0;
    // Board TAP 0 is refused: 0 marks a pattern segment, so a reference to
    // it would be ignored by the board TAP check yet played as the board.
    if (!ParseTapNumber(word_.data(), boardTap) || boardTap == 0) {
        return KeywordError(kUnknownBoardTap);
    }
    if (!BuildShortForm(boardTap)) return false;
    state_ = State::kEndExpected;
    return true;
}

// TAPn alone: the IR and DR blocks each reach board TAP n directly.
bool CnnReader::BuildShortForm(uint32_t boardTap) {
    struct BlockCodes {
        std::unique_ptr<ShiftStep> TesterChannel::*slot;
        uint32_t kind;
        AllocationSite blockSite;
        AllocationSite segmentSite;
    };
    constexpr BlockCodes kBlocks[] = {
        {&TesterChannel::irShift, kStepIr, AllocationSite::kShortIrBlock,
         AllocationSite::kShortIrSegment},
        {&TesterChannel::drShift, kStepDr, AllocationSite::kShortDrBlock,
         AllocationSite::kShortDrSegment}};
    for (const BlockCodes& block : kBlocks) {
        std::unique_ptr<ShiftStep>& slot = channel_->*block.slot;
        slot = TryNew<ShiftStep>();
        if (!slot) return MemoryError(block.blockSite);
        slot->kind = block.kind;
        if (!TryAppend(slot->segments)) return MemoryError(block.segmentSite);
        slot->segments.back().boardTap = boardTap;
    }
    return true;
}

bool CnnReader::StartBlock(std::unique_ptr<ShiftStep>& slot, uint32_t kind,
                           AllocationSite memorySite) {
    slot = TryNew<ShiftStep>();
    if (!slot) return MemoryError(memorySite);
    slot->kind = kind;
    step_ = slot.get();
    itemCount_ = 0;
    patternOpen_ = false;
    return true;
}

// The first step of a sequence exists before its kind is known; an empty
// sequence frees it again.
bool CnnReader::StartFirstStep(std::vector<ShiftStep>& sequence, AllocationSite memorySite) {
    if (!TryAppend(sequence)) return MemoryError(memorySite);
    step_ = &sequence.back();
    itemCount_ = 0;
    patternOpen_ = false;
    return true;
}

// The init or terminate sequence being read.
std::vector<ShiftStep>& CnnReader::OpenSequence() {
    const bool init = state_ == State::kInitOpen || state_ == State::kInitStep;
    return init ? channel_->initSeq : channel_->termSeq;
}

bool CnnReader::WordIsStepKind(uint32_t& kind) const {
    if (WordIs("IR")) {
        kind = kStepIr;
    } else if (WordIs("DR")) {
        kind = kStepDr;
    } else if (WordIs("TDIO")) {
        kind = kStepTdio;
    } else {
        return false;
    }
    return true;
}

bool CnnReader::OnSequenceOpen(const char* endKeyword, State stepState, State closedState) {
    uint32_t kind = 0;
    if (WordIsStepKind(kind)) {
        step_->kind = kind;
        state_ = stepState;
        return true;
    }
    if (!WordIs(endKeyword)) return KeywordError(kUnexpectedInOpenSequence);
    OpenSequence() = std::vector<ShiftStep>();
    step_ = nullptr;
    state_ = closedState;
    return true;
}

bool CnnReader::OnSequenceStep(const char* endKeyword, const char* emptyMessage,
                               State closedState) {
    uint32_t kind = 0;
    if (WordIsStepKind(kind)) {
        if (itemCount_ == 0) return KeywordError(kEmptyStepBeforeStep);
        return AppendStep(kind);
    }
    if (WordIs(endKeyword)) {
        if (itemCount_ == 0) return KeywordError(emptyMessage);
        patternOpen_ = false;
        state_ = closedState;
        return true;
    }
    return AddItem(AllocationSite::kStepSegment);
}

bool CnnReader::AppendStep(uint32_t kind) {
    std::vector<ShiftStep>& sequence = OpenSequence();
    if (!TryAppend(sequence)) return MemoryError(AllocationSite::kNextStep);
    step_ = &sequence.back();
    step_->kind = kind;
    itemCount_ = 0;
    patternOpen_ = false;
    return true;
}

bool CnnReader::OnExpected(const char* keyword, AllocationSite memorySite, const char* otherMessage,
                           uint32_t kind, std::unique_ptr<ShiftStep> TesterChannel::*slot,
                           State blockState) {
    if (!WordIs(keyword)) return KeywordError(otherMessage);
    if (!StartBlock(channel_->*slot, kind, memorySite)) return false;
    state_ = blockState;
    return true;
}

bool CnnReader::OnBlock(const char* endKeyword, const char* emptyMessage,
                        AllocationSite segmentSite, State closedState) {
    if (!WordIs(endKeyword)) return AddItem(segmentSite);
    if (itemCount_ == 0) return KeywordError(emptyMessage);
    patternOpen_ = false;
    state_ = closedState;
    return true;
}

bool CnnReader::AddItem(AllocationSite segmentSite) {
    uint32_t boardTap = 0;
    if (ParseTapNumber(word_.data(), boardTap)) {
        if (boardTap == 0) return KeywordError(kUnknownBoardTap);
        return AddBoardTap(boardTap, segmentSite);
    }
    return AddPatternWord(segmentSite);
}

// Items are kept in file order: a new one goes to the end of the step.
ChainSegment* CnnReader::PushSegment(AllocationSite segmentSite) {
    if (!TryAppend(step_->segments)) {
        MemoryError(segmentSite);
        return nullptr;
    }
    return &step_->segments.back();
}

bool CnnReader::AddBoardTap(uint32_t boardTap, AllocationSite segmentSite) {
    ChainSegment* segment = PushSegment(segmentSite);
    if (segment == nullptr) return false;
    segment->boardTap = boardTap;
    ++itemCount_;
    patternOpen_ = false;
    return true;
}

// A pattern word starts a new segment, or extends the open pattern (the
// step's last segment): the earlier words then move up by the new word's
// length, since the last character of the last word is bit 0.
bool CnnReader::AddPatternWord(AllocationSite segmentSite) {
    const auto length = static_cast<uint32_t>(wordLength_);
    const bool extending = patternOpen_;
    ChainSegment* segment = nullptr;
    if (!extending) {
        segment = PushSegment(segmentSite);
        if (segment == nullptr) return false;
        segment->bitCount = length;
    } else {
        segment = &step_->segments.back();
        segment->bitCount += length;
    }
    const uint32_t bitCount = segment->bitCount;

    BitVector drive;
    BitVector compare;
    BitVector expected;
    if (!TryAllocate(drive, bitCount)) {
        return MemoryError(extending ? AllocationSite::kExtendedDrive : AllocationSite::kNewDrive);
    }
    const bool hadCompare = !segment->compareBits.empty();
    if (hadCompare) {
        if (!TryAllocate(compare, bitCount)) return MemoryError(AllocationSite::kExtendedCompare);
        if (!TryAllocate(expected, bitCount)) return MemoryError(AllocationSite::kExtendedExpected);
    } else if (Word().find_first_of(kCompareCharacters) != std::string_view::npos) {
        if (!TryAllocate(compare, bitCount)) return MemoryError(AllocationSite::kNewCompare);
        if (!TryAllocate(expected, bitCount)) return MemoryError(AllocationSite::kNewExpected);
    }

    for (uint32_t bit = 0; bit < length; ++bit) {
        const char c = word_[length - 1 - bit];
        const PatternBits bits = BitsOf(c);
        if (!bits.valid) {
            ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0,
                             "Unknown pattern character '%c' near line %d  #CC38", c, line_);
            return false;
        }
        const auto mask = static_cast<uint16_t>(1u << (bit % kBitsPerWord));
        const size_t index = bit / kBitsPerWord;
        if (bits.drive) drive[index] |= mask;
        if (bits.compare) compare[index] |= mask;
        if (bits.expected) expected[index] |= mask;
    }

    if (extending) {
        OrBitsAt(drive, segment->driveBits, length);
        if (hadCompare) {
            OrBitsAt(compare, segment->compareBits, length);
            OrBitsAt(expected, segment->expectedBits, length);
        }
    }
    segment->driveBits = std::move(drive);
    if (!compare.empty()) {
        segment->compareBits = std::move(compare);
        segment->expectedBits = std::move(expected);
    }
    ++itemCount_;
    patternOpen_ = true;
    return true;
}

bool CnnReader::MemoryError(AllocationSite site) {
    const uint32_t sequence = site == AllocationSite::kChannel ? 1 : 0;
    ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, sequence, 0,
                     "Memory allocation error  #CC%02d", static_cast<int>(site));
    return false;
}

bool CnnReader::KeywordError(const char* format) {
    // `format` is one of the keyword error constants above: "%s" then "%d".
    ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0, format, word_.data(),
                     line_);
    return false;
}

bool CnnReader::Fail(const char* text) {
    ReportCnnMessage(report_, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0, "%s", text);
    return false;
}

// Notes the board TAP numbers of a step; a number other than the first one
// found is a conflict. The order of the visits does not matter.
void VisitBoardTaps(const ShiftStep& step, uint32_t& found, bool& conflict) {
    for (const ChainSegment& segment : step.segments) {
        if (segment.boardTap == 0) continue;
        if (found == 0) {
            found = segment.boardTap;
        } else if (segment.boardTap != found) {
            conflict = true;
        }
    }
}

}  // namespace

CnnModel ReadCnnFile(const char* path, const SvfReport* report) {
    CnnReader reader(path, report);
    return reader.Read();
}

void FreeCnnModel(CnnModel& model) { model = CnnModel(); }

bool CheckBoardTap(const CnnModel& model, uint32_t requestedTap) {
    uint32_t found = 0;
    bool conflict = false;
    for (const TesterChannel& channel : model) {
        for (const ShiftStep& step : channel.initSeq) VisitBoardTaps(step, found, conflict);
        if (channel.irShift) VisitBoardTaps(*channel.irShift, found, conflict);
        if (channel.drShift) VisitBoardTaps(*channel.drShift, found, conflict);
        for (const ShiftStep& step : channel.termSeq) VisitBoardTaps(step, found, conflict);
    }
    return !conflict && found != 0 && found == requestedTap;
}

}  // namespace svf
