// Turns a CNN model or the job's connection strings into the session's tester
// TAP, lead and tail bits and TRST/RESET restrictions.
#pragma once

#include <cstdint>

#include "session.h"
#include "status.h"

namespace svf {

// True when session.connection.cnnModel may be used (then sets testerTap).
// Messages go out as warnings.
bool CheckConnection(SvfSession& session);

// Fills the restrictions and the four lead/tail bit strings from the model.
void TakeConnectionFromCnn(SvfSession& session);

// kOk, or kNoMemory when memory runs out ("Error: Unable to allocate memory").
Status TakeConnectionFromStrings(SvfSession& session);

// Packs `length` characters into ceil(length / 16) words, bit i set when
// text[length - 1 - i] is 'H'. False when memory runs out.
bool PackHlString(const char* text, uint32_t length, BitVector& packed);

}  // namespace svf
