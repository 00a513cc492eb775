// STUB: replaced by the state statement implementation.
#include "svf/state_statements.h"
namespace svf {
Status ParseTrst(SvfSession&) { return kInternal; }
Status ParseEndState(int, SvfSession&) { return kInternal; }
Status ParseState(SvfSession&) { return kInternal; }
Status ParseRunTest(SvfSession&) { return kInternal; }
int ParseSvfNumber(const char*, double*) { return 0; }
}  // namespace svf
