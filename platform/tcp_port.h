// IPv4 TCP connection to a printer, behind the port contract.
//
// open() connects to Endpoint::address (dotted IPv4) and Endpoint::port
// within Endpoint::connectTimeoutMs. A write loops until the whole piece is
// sent, then waits until the peer has acknowledged every byte (the send
// queue, SIOCOUTQ, is empty), all under the stall rule. close() shuts the
// sending side, reads and discards what the printer still sends until it
// closes or kCloseLingerMs pass, and only then closes: unread bytes at close
// would turn the close into a reset, which throws away data still queued at
// the printer's end.
#pragma once

#include "platform/port.h"

#include <memory>

namespace platform {

inline constexpr int kCloseLingerMs = 2000;

std::unique_ptr<Port> makeTcpPort();

} // namespace platform
