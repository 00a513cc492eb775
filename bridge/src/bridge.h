// The bridge inside the library: its controller table and the adapter it
// drives. The C exports (exports.cpp) and the tests use these.
#pragma once

#include <memory>

#include "svfplayer/svf_player.h"
#include "transport.h"

namespace bridge {

const VeltraApi* Table();
// Opens the adapter named by an adapter string; false and OpenError() on failure.
bool OpenAdapterNamed(const char* adapter);
const char* OpenError();
void CloseAdapter();
// Drives the table over a transport the caller made (tests: emulated adapters).
void UseTransport(std::unique_ptr<Transport> transport);

}  // namespace bridge
