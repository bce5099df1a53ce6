#include "sources/TSources.h"

#include <gtest/gtest.h>

#include "ports/KPty.h"
#include "ports/KSerialPortList.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KTCPSocket.h"
#include "ports/KUDPSocket.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/SourcesTestSupport.h"

namespace {

constexpr KStringView kListenAnyPort = u"-2,127.0.0.1,0";
constexpr KStringView kNoPort = u"0,9600,8,N,1.0";

// The default tree with the test script in the program folder and COM1 a pseudo-terminal. Source 1
// of the default table listens on a port the system picks rather than on 1025.
class SourcesTest : public ::testing::Test {
protected:
    SourcesTest() {
        WriteBytes(program / "Results.kss", kResultsScript);
        ports.Add(1, pty.Path());
        AddSource(1, kListenAnyPort);
    }

    /// Source n with all its keys, or without `missing`.
    void AddSource(int n, KStringView port, KStringView missing = u"") {
        const KString group = u"Sources\\" + ToKString(n) + u"\\";
        for (const KString& line : {KString(u":="), KString(u"Script:String=Results.kss"),
                                    u"SerialPort:String=" + KString(port), KString(u"CharMode:Int=0")})
            if (missing.empty() || !line.starts_with(missing)) settings.Define(group + line);
    }

    void Start() {
        TSources::StartSources(settings, program.Path(), true, prototypes, ports, network);
        sources = std::make_unique<TSources>(settings, program.Path(), prototypes);
        sources->SetUpdateObserver([this] { delivered.push_back(ToUtf8(sources->Event().Name())); });
        client = Client(dynamic_cast<KTCPSocket&>(*sources->LiveStream(0)).ListenPort());
    }
    /// Polls the sources until `done` holds or five seconds have passed.
    bool PollFor(const std::function<bool()>& done) {
        return PollUntil([&] { return sources->PollSources(), done(); });
    }

    StandaloneScorer scorer;  // with the default tree
    KRegistry& settings = scorer.settings;
    KTempFolder program;
    KPty pty;
    KSerialPortList ports;
    KLoopbackNetwork network;
    KStreamPrototypes prototypes;
    std::unique_ptr<TSources> sources;
    KSocketHandle client;                // to source 1
    std::vector<std::string> delivered;  // the event name after each update, in order
};

}  // namespace

TEST_F(SourcesTest, StartListsScriptsByNameCreatesTheFirstStartSourceAndKeepsBufferFloors) {
    // A tree without sources gets one on COM1 with the Gatemark script, unless a settings file was
    // loaded; a folder without scripts leaves the list empty.
    KRGroup* group = settings.FindGroup(u"Sources\\");
    group->Remove(group->FindChild(u"1"));
    settings.FindInt(u"Sources\\BufferSize")->SetValue(512);
    for (const char* name : {"b.kss", "A.KSS", "a.txt"}) WriteBytes(program / name, "");
    const KTempFolder none;  // without scripts
    for (const bool loaded : {true, false}) {
        const KTempFolder& folder = loaded ? program : none;
        TSources::StartSources(settings, folder.Path(), loaded, prototypes, ports, network);
        EXPECT_EQ(group->GetText(u"Scripts\\1") + u"," + group->GetText(u"Scripts\\3") + u"," +
                      group->GetText(u"1\\Script") + u"," + group->GetText(u"1\\SerialPort"),
                  loaded ? u"A.KSS,b.kss,," : u",,gatemark.kss,1,9600,8,N,1.0");
    }
    EXPECT_EQ(dynamic_cast<KUDPSocket&>(*prototypes.Prototypes().at(2)).ReceiveBufferSize(), 2048u);
}

TEST_F(SourcesTest, CompleteGroupsAreLoadedAndDeliverInReadingOrderAndFollowPortAndScriptChangesAtOnce) {
    WriteBytes(program / "Other.kss", kResultsScript);
    AddSource(2, u"1,9600,8,N,1.0,250");
    AddSource(3, kNoPort);
    AddSource(4, kListenAnyPort, u"CharMode");
    AddSource(5, kListenAnyPort, u"SerialPort");
    Start();
    // A new source takes the next number and is shown as not loaded until the next start.
    EXPECT_EQ(TSources::NewSource(settings)->GetText(u"SerialPort"), kNoPort);
    KString statuses;
    for (size_t i = 0; i < sources->SourceCount(); ++i) statuses += sources->SourceStatus(i) + u",";
    EXPECT_EQ(statuses, u"Running,Running,Not Running,Not Loaded,Not Loaded,Not Loaded,");

    const std::string message = ResultsMessage("A", {});
    SendText(client, message.substr(0, message.size() - 1));
    pty.Send(ResultsMessage("B", {}));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 1; }));
    EXPECT_EQ(delivered.front(), "B") << "each as soon as its last character is read";
    SendText(client, message.substr(message.size() - 1));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 2; }));

    // A COM port given to one source is taken from the other.
    settings.FindString(u"Sources\\3\\SerialPort")->SetValue(u"1,9600,8,N,1.0");
    EXPECT_EQ(settings.GetText(u"Sources\\2\\SerialPort"), kNoPort) << "port 0, without the repeat period";
    EXPECT_FALSE(sources->LiveStream(1)->IsOpen());
    pty.Send(ResultsMessage("C", {}));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 3; }));

    // A new script loads at once and loses a half message; a missing file keeps the old one.
    const size_t half = message.size() / 2, total = sources->CharsRead();
    SendText(client, message.substr(0, half));
    ASSERT_TRUE(PollFor([&] { return sources->CharsRead() >= total + half; }));
    settings.FindString(u"Sources\\1\\Script")->SetValue(u"Other.kss");
    SendText(client, message.substr(half));
    ASSERT_TRUE(PollFor([&] { return sources->CharsRead() >= total + message.size(); }));
    EXPECT_EQ(delivered.size(), 3u);
    settings.FindString(u"Sources\\1\\Script")->SetValue(u"Missing.kss");
    SendText(client, message);
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 4; }));
}

TEST_F(SourcesTest, GarbageBetweenAndInsideMessagesLeavesReceivedResultsAlone) {
    settings.FindInt(u"Sources\\Fields\\BufferSize")->SetValue(4096);
    Start();
    // Bytes of every value but SOH, STX and ETX: no message starts or ends inside them.
    std::string noise;
    for (int i = 0; i < 3000; ++i) noise += static_cast<char>(i * 7919 % 253 + 4);
    const std::string later = ResultsMessage(
        "Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:00.00"}, {"3", "13", "Cy", "CCC", "18:00"}});
    // Random bytes between messages, a message cut short by the next, one too long for the buffer
    // and a message of random bytes.
    const std::string bytes = ResultsMessage("Boys 5K", {{"2", "12", "Bo Day", "BBB", "17:05.31"}}) + noise +
                              later.substr(0, later.size() / 2) + later + "\x02U\tX\t1\r\n1\t" +
                              std::string(5000, 'x') + "\t\t\t\t0\r\n\x03\x02" + noise.substr(0, 300) +
                              "\x03" + later;
    ASSERT_EQ(SendText(client, bytes), bytes.size());
    ASSERT_TRUE(PollFor([&] { return sources->CharsRead() >= bytes.size(); }));
    EXPECT_EQ(Describe(sources->Event()),
              "11 Ann/Lee AAA 17:00.00 0 1; 12 Bo/Day BBB 17:05.31 0 2; 13 /Cy CCC 18:00 0 3");
}
