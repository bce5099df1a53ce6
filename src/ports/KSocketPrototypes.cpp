#include "ports/KSocketPrototypes.h"

#include <algorithm>

#include "ports/KTCPSocket.h"
#include "ports/KUDPSocket.h"
#include "settings/KRGroup.h"
#include "settings/KRInt.h"

namespace {

constexpr int kMinSourceBuffer = 2048;
constexpr int kSourcePacketSize = 536;
constexpr int kDefaultPortBuffer = 32768;
constexpr int kDefaultUDPSize = 536;

size_t BufferSize(int requested) {
    return static_cast<size_t>(std::clamp(requested, 0, kMaxSocketBufferSize));
}

int SettingOr(KRGroup& settings, KStringView path, int fallback) {
    const KRInt* node = settings.FindInt(path);
    return node != nullptr ? node->Value() : fallback;
}

void Register(KStreamPrototypes& prototypes, std::unique_ptr<KSocket> stream) {
    stream->SetModes(stream->ReadCharMode(), KLineMode::None);
    stream->SetReadTimeout(0);
    stream->SetWriteTimeout(0);
    prototypes.Register(std::move(stream));
}

void RegisterBoth(KStreamPrototypes& prototypes, KNetwork& network, size_t tcpBuffer,
                  std::unique_ptr<KUDPSocket> udp) {
    auto tcp = std::make_unique<KTCPSocket>(network, tcpBuffer);
    tcp->SetBlockingConnect(false);
    tcp->SetAutoReconnect(true);
    tcp->SetAccept(true);
    Register(prototypes, std::move(tcp));
    Register(prototypes, std::move(udp));
}

}  // namespace

void RegisterSourceNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, int bufferSize) {
    const size_t size = BufferSize(std::max(kMinSourceBuffer, bufferSize));
    RegisterBoth(prototypes, network, 0,
                 std::make_unique<KUDPSocket>(network, size, kSourcePacketSize, size));
}

void RegisterSourceNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, KRGroup& settings) {
    RegisterSourceNetworkPrototypes(prototypes, network,
                                    SettingOr(settings, u"Sources\\BufferSize", kMinSourceBuffer));
}

void RegisterScoreboardNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network, int portBuffer,
                                         int udpSize) {
    const size_t size = BufferSize(portBuffer);
    RegisterBoth(prototypes, network, size,
                 std::make_unique<KUDPSocket>(network, size, static_cast<size_t>(std::max(udpSize, 1)), 0));
}

void RegisterScoreboardNetworkPrototypes(KStreamPrototypes& prototypes, KNetwork& network,
                                         KRGroup& settings) {
    RegisterScoreboardNetworkPrototypes(prototypes, network,
                                        SettingOr(settings, u"Scoreboards\\PortBuffer", kDefaultPortBuffer),
                                        SettingOr(settings, u"Scoreboards\\UDPSize", kDefaultUDPSize));
}
