// Line reader and tokenizer of the SVF text. Two readers share the session's
// line buffer and source: NextToken for statements, NextPioWord for the body
// of PIOMAP. Both poll the host for an abort while they read new lines and
// send progress records with the line number.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

// Token codes of NextToken. A TAP state keyword's code minus kTokenReset is
// its state number.
enum TokenCode : int {
    kTokenUnknown = 0,
    kTokenEndDr = 1,
    kTokenEndIr = 2,
    kTokenHdr = 3,
    kTokenHir = 4,
    kTokenPio = 5,
    kTokenPioMap = 6,
    kTokenRunTest = 7,
    kTokenSdr = 8,
    kTokenSir = 9,
    kTokenState = 10,
    kTokenTdr = 11,
    kTokenTir = 12,
    kTokenTrst = 13,
    kTokenReset = 14,  // RESET IDLE DRPAUSE IRPAUSE DRSELECT ... IRUPDATE: 14..29
    kTokenIdle = 15,
    kTokenDrPause = 16,
    kTokenIrPause = 17,
    kTokenIrUpdate = 29,
    kTokenTdi = 30,
    kTokenTdo = 31,
    kTokenMask = 32,
    kTokenSmask = 33,
    kTokenEndState = 35,
    kTokenOn = 36,
    kTokenOff = 37,
    kTokenZ = 38,
    kTokenAbsent = 39,
    kTokenOpen = 40,
    kTokenClose = 41,
    kTokenSemicolon = 42,
    kTokenFrequency = 53,  // FREQUENCY and CLOCK
    kTokenSck = 56,
    kTokenTck = 57,
    kTokenUsec = 58,  // USEC and US
    kTokenMsec = 59,
    kTokenSec = 60,
    kTokenNumber = 61,  // any word starting with a decimal digit
    kTokenMaximum = 62,
    kTokenHz = 63,
    kTokenKhz = 65,
    kTokenMhz = 66,
    kTokenCorrection = 67,  // merlo_correction
    kTokenIn = 71,
    kTokenOut = 72,
    kTokenInOut = 73,
    kTokenFlag = 74,
};

// Word codes of NextPioWord (own numbering).
enum PioWordCode : int {
    kPioWordOpen = 40,
    kPioWordOther = 75,
    kPioWordIn = 76,
    kPioWordOut = 77,
    kPioWordInOut = 78,
    kPioWordDigits = 79,
    kPioWordCloseSemicolon = 80,
};

inline constexpr int kAbortPollIntervalMs = 750;

// status kOk: a token was delivered; kEndOfFile: the input ended; kSyntax:
// line too long; kAborted: the host aborted. `text` is the session's word
// buffer: valid until the next call of either reader. A NUL byte of the input is a character of its
// word, so `length` (not strlen) is the word's length.
struct Token {
    Status status = kOk;
    int code = kTokenUnknown;
    const char* text = "";
    size_t length = 0;
};

Token NextToken(SvfSession& session);
Token NextPioWord(SvfSession& session);

// The line number that "%s %6ld : ..." statement messages print.
inline long LineOf(const SvfSession& session) {
    return static_cast<long>(session.reader.lineNumber);
}

// Reports "SVF line NNNNNN : Error\t: <text>" for the line being read.
void ReportStatementError(const SvfSession& session, const char* text);

// The same, for a statement that is wrongly written: returns kSyntax.
Status SyntaxError(const SvfSession& session, const char* text);

// True for a TAP state token (RESET .. IRUPDATE); StateOf gives its number.
constexpr bool IsStateToken(int code) { return code >= kTokenReset && code <= kTokenIrUpdate; }
constexpr int32_t StateOf(int code) { return code - kTokenReset; }

}  // namespace svf
