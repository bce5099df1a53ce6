#pragma once

// The network prototypes of the two users of streams, sources and scoreboards.

#include "ports/KStreamFactory.h"

class KNetwork;
class KRGroup;

/// A buffer size a setting asks for beyond this is taken as this, so a mistyped setting
/// cannot claim the machine's memory.
inline constexpr int kMaxSocketBufferSize = 1 << 20;

/// TCP without output buffer, and UDP with a buffer of max(2048, `bufferSize`), packets of
/// 536 bytes and a receive buffer of the same size. Both with line modes 0 and timeouts 0;
/// TCP redials and accepts, its connect never waits.
void RegisterSourceNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, int bufferSize);
/// `Sources\BufferSize` of `settings`.
void RegisterSourceNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, KRGroup& settings);

/// TCP with an output buffer of `portBuffer` bytes, and UDP with that buffer, packets of
/// `udpSize` bytes and no receive buffer. Otherwise as the sources'.
void RegisterScoreboardNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, int portBuffer,
                                         int udpSize);
/// `Scoreboards\PortBuffer` and `Scoreboards\UDPSize` of `settings`.
void RegisterScoreboardNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, KRGroup& settings);
