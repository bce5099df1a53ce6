#pragma once

// What the scoreboard tests share: an in-memory port that records what each board receives, a
// manager built over the default settings with small scripts written into a temporary folder, and
// a board on loopback TCP.

#include <map>

#include "ports/KSerialPortList.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KStreamFactory.h"
#include "scoreboards/VScoreboardConfig.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventRecord.h"
#include "settings/KDefaultSettings.h"

/// One board at the end of an in-memory port, named by the port specification ("0,1").
struct FakeBoard {
    std::string bytes;
    int writes = 0;
    bool open = true;
    bool ready = true;
    /// What arrived since the last call.
    std::string Take() { return std::exchange(bytes, {}); }
};
using FakeBoards = std::map<std::string, FakeBoard>;

/// Serves port code 0, so "0,<n>" specifications reach the board of that name.
class FakePort : public KStream {
public:
    explicit FakePort(FakeBoards& boards) : m_boards(boards) {}
    bool IsMine(int code) const override { return code == 0; }
    std::unique_ptr<KStream> Clone() const override { return std::make_unique<FakePort>(m_boards); }
    bool Open(KStringView spec) override { return (m_board = &m_boards[ToUtf8(spec)]); }
    bool IsOpen() override { return m_board && m_board->open; }
    bool IsWriteReady() override { return m_board && m_board->ready; }
    void Write(const uint8_t* buffer, size_t count) override {
        m_board->bytes.append(reinterpret_cast<const char*>(buffer), count);
        ++m_board->writes;
    }

private:
    FakeBoards& m_boards;
    FakeBoard* m_board = nullptr;
};

inline constexpr char kTestScript[] =
    ";;Initialization\r\n0INIT\r\n"
    ";;TimeOfDay\r\n1T%s|\r\n"
    ";;TimeUpdate\r\n1R%s|\r\n"
    ";;MessageHeader\r\n0<\r\n;;Message\r\n1m%s;\r\n;;MessageTrailer\r\n0>\r\n"
    ";;ResultsHeader\r\n0H\r\n;;Results\r\n3[%s]\r\n;;ResultsTrailer\r\n0T\r\n";

/// Board 1 of the default settings on "0,1" with kTestScript, more boards on "0,2"...; the real
/// serial and network ports serve every other specification.
class ScoreboardFixture {
public:
    explicit ScoreboardFixture(int boardCount = 1, const std::string& script = kTestScript) {
        LoadDefaults(settings);
        WriteBytes(program / "test.vss", script);
        prototypes.Register(std::make_unique<FakePort>(boards));
        VScoreboardConfig::RegisterPrototypes(prototypes, settings, serialPorts, network);
        for (int n = 1; n <= boardCount; ++n) {
            if (n > 1) VScoreboardConfig::CreateScoreboard(settings);
            Set(n, u"SerialPort:String=0," + ToKString(n));
            for (const char16_t* line :
                 {u"Script:String=test.vss", u"ResultsMode:Int=1", u"Filter:Int=0", u"PageSize:Int=3"})
                Set(n, line);
        }
    }
    /// Defines a key of board `n` (from 1), "PageSize:Int=3", before or after Start.
    void Set(int n, KString line) { settings.Define(u"\\Scoreboards\\" + ToKString(n) + u"\\" + line); }
    VScoreboards& Start() {
        manager = std::make_unique<VScoreboards>(settings, program.Path(), prototypes,
                                                 [this] { return timeOfDay; });
        manager->AttachEvent(&event);
        return *manager;
    }
    FakeBoard& Board(int n) { return boards["0," + std::to_string(n)]; }
    /// Runs the period at `now` and returns what board `n` received.
    std::string At(uint32_t now, int n = 1) {
        manager->RunPeriod(now);
        return Board(n).Take();
    }
    /// Sends `lines` as a message and returns what board 1 received at `now`.
    std::string Message(KStringView lines, uint32_t now) {
        manager->SetMessageText(lines);
        manager->SendMessage();
        return At(now);
    }
    /// More finished individual results, with Ids 11, 12, ... in the order added.
    void AddRunners(int count) {
        EventRecord::ScopedLock lock(event);
        for (int i = static_cast<int>(event.Results().Size()), end = i + count; i < end; ++i) {
            ResultRecord* r = event.Results().Add();
            r->SetId(ToKString(11 + i));
            r->SetPlace(i + 1);
            r->SetTime(TimeValue(TickCount::FromInt64((60 + i) * kTicksSecond.Value()), kTicksHundredth));
        }
    }

    KRegistry settings;
    KTempFolder program;
    FakeBoards boards;
    KSerialPortList serialPorts;
    KLoopbackNetwork network;
    KStreamPrototypes prototypes;
    EventRecord event;
    int64_t timeOfDay = 0;
    std::unique_ptr<VScoreboards> manager;
};

/// The test's end of a board that dials 127.0.0.1: takes the call and collects what arrives,
/// never waiting.
class LoopbackBoard {
public:
    LoopbackBoard() { ::listen(m_listener.Get(), 1); }
    /// The port specification that dials this board.
    KString Spec() const { return NetSpec(-1, "127.0.0.1", LocalPort(m_listener)); }
    /// Everything received so far.
    const std::string& Received() {
        if (!m_peer.IsValid()) m_peer.Reset(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_NONBLOCK));
        char chunk[4096];
        for (ssize_t n; m_peer.IsValid() && (n = ::recv(m_peer.Get(), chunk, sizeof chunk, 0)) > 0;)
            m_received.append(chunk, static_cast<size_t>(n));
        return m_received;
    }

private:
    KSocketHandle m_listener = BoundSocket(SOCK_STREAM | SOCK_NONBLOCK);
    KSocketHandle m_peer;
    std::string m_received;
};
