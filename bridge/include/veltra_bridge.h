/*
 * veltra_bridge.h - the transport-backed controller library (the bridge).
 *
 * Implements the VeltraApi table over a common JTAG adapter: a remote_bitbang
 * server (TCP or unix socket), an XVC 1.0 server, or an FTDI MPSSE chip
 * through libftdi1. Like every controller library it exports Veltra_GetApi, so
 * hosts load it unchanged; the adapter is named by VeltraBridge_Open or, for
 * hosts that know nothing of the bridge, by the environment variable
 * VELTRA_BRIDGE_ADAPTER (read on the first table call).
 *
 * Adapter strings:
 *   remote_bitbang:HOST:PORT      remote_bitbang over TCP
 *   remote_bitbang:unix:PATH      remote_bitbang over a unix socket (also unix:PATH)
 *   xvc:HOST:PORT                 XVC 1.0 over TCP
 *   ftdi:VID:PID[:INTERFACE]      FTDI MPSSE (INTERFACE A to D, default A)
 * followed by options ",name=value": timeout=MS (socket transports: the longest
 * wait for the peer, default 3000), layout=NAME, serial=TEXT, bus=BUS:ADDR
 * (ftdi).
 *
 * One TAP per adapter: tester TAP 1. Plain C; no exception leaves the library.
 */
#ifndef VELTRA_BRIDGE_H
#define VELTRA_BRIDGE_H

#include <stdint.h>

#include "svfplayer/svf_player.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VELTRA_BRIDGE_ADAPTER_VARIABLE "VELTRA_BRIDGE_ADAPTER"
#define VELTRA_BRIDGE_OPEN_SYMBOL "VeltraBridge_Open"
#define VELTRA_BRIDGE_LAST_ERROR_SYMBOL "VeltraBridge_LastError"

/* The bridge is not built for Windows: there hosts get only the names and
 * function types below, to report that it is missing. */
#if !defined(_WIN32)
#define VELTRA_BRIDGE_API __attribute__((visibility("default")))

/* The controller table (the convention every controller library follows). */
VELTRA_BRIDGE_API const VeltraApi* Veltra_GetApi(void);

/* Connects to the adapter named by `adapter` (see above), replacing any
 * adapter opened before. 0 on success; else nonzero and VeltraBridge_LastError
 * tells why. */
VELTRA_BRIDGE_API int32_t VeltraBridge_Open(const char* adapter);
VELTRA_BRIDGE_API const char* VeltraBridge_LastError(void);

/* Lets the adapter go (a remote_bitbang server is told the client leaves). */
VELTRA_BRIDGE_API void VeltraBridge_Close(void);
#endif

typedef int32_t (*VeltraBridgeOpenFunction)(const char* adapter);
typedef const char* (*VeltraBridgeLastErrorFunction)(void);

#ifdef __cplusplus
}
#endif

#endif /* VELTRA_BRIDGE_H */
