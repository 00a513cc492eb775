// TRST, ENDIR, ENDDR, STATE and RUNTEST, and the SVF number syntax.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

Status ParseTrst(SvfSession& session);
Status ParseEndState(int code, SvfSession& session);
Status ParseState(SvfSession& session);
Status ParseRunTest(SvfSession& session);

// 1 when the whole text is an SVF number (its value in `value`), else 0.
int ParseSvfNumber(const char* text, double* value);

}  // namespace svf
