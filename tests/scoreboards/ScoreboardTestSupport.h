#pragma once

// What the scoreboard tests share: an in-memory port that records what each board receives, a
// manager built over the default settings with small scripts written into a temporary folder, and
// a board on loopback TCP.

#include <map>
#include <memory>
#include <string>

#include "foundation/KError.h"
#include "ports/KPortSpec.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KStreamFactory.h"
#include "scoreboards/VScoreboardConfig.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventRecord.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

/// One board at the end of an in-memory port, named by the port specification ("0,1").
struct FakeBoard {
    std::string bytes;
    int writes = 0;
    bool open = true;
    bool ready = true;
    /// What arrived since the last call.
    std::string Take() { return std::exchange(bytes, {}); }
};

/// Serves port code 0, so "0,<n>" specifications reach the boards of `boards`.
class FakePort : public KStream {
public:
    explicit FakePort(std::shared_ptr<std::map<std::string, FakeBoard>> boards)
        : m_boards(std::move(boards)) {}
    bool IsMine(int code) const override { return code == 0; }
    std::unique_ptr<KStream> Clone() const override { return std::make_unique<FakePort>(m_boards); }
    bool Open(KStringView spec) override {
        m_name = ToUtf8(spec);
        (*m_boards)[m_name];
        return true;
    }
    bool IsOpen() override { return !m_name.empty() && Board().open; }
    bool IsWriteReady() override { return Board().ready; }
    void Write(const uint8_t* buffer, size_t count) override {
        if (!IsOpen()) throw KError(5003);
        Board().bytes.append(reinterpret_cast<const char*>(buffer), count);
        ++Board().writes;
    }
    void Flush() override {}

private:
    FakeBoard& Board() { return (*m_boards)[m_name]; }
    std::shared_ptr<std::map<std::string, FakeBoard>> m_boards;
    std::string m_name;
};

inline constexpr char kTestScript[] =
    "; Defaults: 9600,8,N,1\r\n"
    ";;Initialization\r\n0INIT\r\n"
    ";;TimeOfDay\r\n1T%s|\r\n"
    ";;TimeUpdate\r\n1R%s|\r\n"
    ";;MessageHeader\r\n0<\r\n;;Message\r\n1m%s;\r\n;;MessageTrailer\r\n0>\r\n"
    ";;ResultsHeader\r\n0H\r\n;;Results\r\n3[%s]\r\n;;ResultsTrailer\r\n0T\r\n";

/// Board 1 of the default settings on "0,1" with kTestScript; more boards on "0,2"...
class ScoreboardFixture {
public:
    explicit ScoreboardFixture(int boardCount = 1, const std::string& script = kTestScript) {
        LoadDefaults(settings);
        WriteBytes(program / "test.vss", script);
        prototypes.Register(std::make_unique<FakePort>(boards));
        for (int n = 1; n <= boardCount; ++n) {
            KRGroup* group = n == 1 ? settings.FindGroup(u"\\Scoreboards\\1\\")
                                    : VScoreboardConfig::CreateScoreboard(settings);
            group->FindString(u"Script")->SetValue(u"test.vss");
            group->FindString(u"SerialPort")->SetValue(u"0," + ToKString(n));
            group->FindInt(u"ResultsMode")->SetValue(1);
            group->FindInt(u"Filter")->SetValue(0);
            group->FindInt(u"PageSize")->SetValue(3);
        }
    }
    /// Sets `key` of board `n` (from 1) before or after Start.
    void Set(int n, KStringView key, int32_t value) {
        VScoreboardConfig::ScoreboardGroup(settings, static_cast<size_t>(n - 1))
            ->FindInt(key)
            ->SetValue(value);
    }
    VScoreboards& Start() {
        manager = std::make_unique<VScoreboards>(settings, program.Path(), prototypes,
                                                 [this] { return timeOfDay; });
        manager->AttachEvent(&event);
        return *manager;
    }
    FakeBoard& Board(int n) { return (*boards)["0," + std::to_string(n)]; }
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
    std::shared_ptr<std::map<std::string, FakeBoard>> boards =
        std::make_shared<std::map<std::string, FakeBoard>>();
    KStreamPrototypes prototypes;
    EventRecord event;
    int64_t timeOfDay = 0;
    std::unique_ptr<VScoreboards> manager;
};

/// The test's end of a board that dials 127.0.0.1: takes the call and collects what arrives,
/// never waiting.
class LoopbackBoard {
public:
    LoopbackBoard() {
        ::listen(m_listener.Get(), 1);
        ::fcntl(m_listener.Get(), F_SETFL, O_NONBLOCK);
    }
    /// The port specification that dials this board.
    KString Spec() const { return NetSpec(-1, "127.0.0.1", LocalPort(m_listener)); }
    /// Everything received so far.
    const std::string& Received() {
        if (!m_peer.IsValid()) m_peer.Reset(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_NONBLOCK));
        char chunk[4096];
        for (ssize_t n;
             m_peer.IsValid() && (n = ::recv(m_peer.Get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
            m_received.append(chunk, static_cast<size_t>(n));
        return m_received;
    }

private:
    KSocketHandle m_listener = BoundSocket(SOCK_STREAM);
    KSocketHandle m_peer;
    std::string m_received;
};
