// STUB: replaced by the reader implementation.
#include "svf/reader/reader.h"
namespace svf {
Token NextToken(SvfSession&) { return Token{kInternal, kTokenUnknown, ""}; }
Token NextPioWord(SvfSession&) { return Token{kInternal, kTokenUnknown, ""}; }
}  // namespace svf
