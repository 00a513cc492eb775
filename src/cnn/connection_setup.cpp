// STUB: replaced by the connection set-up.
#include "cnn/connection_setup.h"
namespace svf {
int CheckConnection(SvfSession&) { return 1; }
void TakeConnectionFromCnn(SvfSession&) {}
Status TakeConnectionFromStrings(SvfSession&) { return kNotSupported; }
bool PackHlString(const char*, uint32_t, BitVector&) { return false; }
}  // namespace svf
