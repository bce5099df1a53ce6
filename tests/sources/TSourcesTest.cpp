#include "sources/TSources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ports/KPty.h"
#include "ports/KSerialPortList.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KTCPSocket.h"
#include "ports/KUDPSocket.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"
#include "sources/SourcesTestSupport.h"

namespace {

constexpr KStringView kListenAnyPort = u"-2,127.0.0.1,0";
constexpr KStringView kNoPort = u"0,9600,8,N,1.0";

// The default tree with the test script in the program folder and COM1 a pseudo-terminal. Source 1
// of the default table listens on a port the system picks rather than on 1025.
class SourcesTest : public ::testing::Test {
protected:
    SourcesTest() {
        LoadDefaults(settings);
        WriteBytes(program / "Results.kss", kResultsScript);
        ports.Add(1, pty.Path());
        AddSource(1, kListenAnyPort);
    }

    /// Source n with all its keys, or without `missing`.
    void AddSource(int n, KStringView port, KStringView missing = u"") {
        const KString group = u"Sources\\" + ToKString(n) + u"\\";
        settings.Define(group + u":=");
        for (const KString& line : {KString(u"Script:String=Results.kss"),
                                    u"SerialPort:String=" + KString(port), KString(u"CharMode:Int=0")})
            if (missing.empty() || !line.starts_with(missing)) settings.Define(group + line);
    }

    void Start() {
        TSources::StartSources(settings, program.Path(), true, prototypes, ports, network);
        sources = std::make_unique<TSources>(settings, program.Path(), prototypes);
        sources->SetTeamScoring(&scorer.scoring);
        sources->SetUpdateObserver([this] { delivered.push_back(ToUtf8(sources->Event().Name())); });
        client = Client(dynamic_cast<KTCPSocket&>(*sources->LiveStream(0)).ListenPort());
    }
    /// Polls the sources until `condition` holds or five seconds have passed.
    template <typename Condition>
    bool PollFor(Condition&& condition) {
        return PollUntil([&] {
            sources->PollSources();
            return condition();
        });
    }
    bool ReadUpTo(unsigned long long count) {
        return PollFor([&] { return sources->CharsRead() >= count; });
    }

    KRegistry settings;
    KTempFolder program;
    KPty pty;
    KSerialPortList ports;
    KLoopbackNetwork network;
    KStreamPrototypes prototypes;
    StandaloneScorer scorer;
    std::unique_ptr<TSources> sources;
    KSocketHandle client;                // to source 1
    std::vector<std::string> delivered;  // the event name after each update, in order
};

const std::vector<TestLine> kTwoRunners = {{"1", "11", "Ann Lee", "AAA", "17:01.20"},
                                           {"2", "12", "Bo Day", "BBB", "17:05.31"}};

}  // namespace

TEST_F(SourcesTest, StartListsScriptsByNameCreatesTheFirstStartSourceAndKeepsBufferFloors) {
    // A tree without sources gets one on COM1 with the Gatemark script, unless a settings file was
    // loaded; a folder without scripts leaves the list empty.
    KRGroup* group = settings.FindGroup(u"Sources\\");
    group->Remove(group->FindChild(u"1"));
    settings.FindInt(u"Sources\\BufferSize")->SetValue(512);
    const KTempFolder empty;
    for (const bool fileLoaded : {true, false}) {
        TSources::StartSources(settings, empty.Path(), fileLoaded, prototypes, ports, network);
        EXPECT_EQ(settings.FindGroup(u"Sources\\Scripts\\")->ChildCount(), 0u);
        EXPECT_EQ(
            settings.GetText(u"Sources\\1\\Script") + u"," + settings.GetText(u"Sources\\1\\SerialPort"),
            fileLoaded ? u"," : u"gatemark.kss,1,9600,8,N,1.0");
    }
    EXPECT_EQ(dynamic_cast<KUDPSocket&>(*prototypes.Prototypes().at(2)).ReceiveBufferSize(), 2048u);

    for (const char* name : {"b.kss", "A.KSS", "notes.txt"}) WriteBytes(program / name, "");
    AddSource(1, kListenAnyPort);
    Start();
    ASSERT_EQ(sources->ScriptCount(), 3u);
    EXPECT_EQ(sources->ScriptName(0) + sources->ScriptName(1) + sources->ScriptName(2),
              u"A.KSSResults.kssb.kss");
}

TEST_F(SourcesTest, GroupsLackingAKeyAreNotLoadedAndStatusFollowsThePortCode) {
    AddSource(2, kNoPort);
    AddSource(3, kListenAnyPort, u"CharMode");
    AddSource(4, kListenAnyPort, u"SerialPort");
    AddSource(5, u"x,9600");
    Start();
    EXPECT_EQ(sources->LiveCount(), 3u);
    const KStringView expected[] = {u"Running", u"Not Running", u"Not Loaded", u"Not Loaded", u"Not Running"};
    ASSERT_EQ(sources->SourceCount(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(sources->SourceStatus(i), expected[i]) << i;

    // A new source takes the next number and is shown as not loaded until the next start.
    KRGroup* added = TSources::NewSource(settings);
    EXPECT_EQ(added->Name() + u"," + added->GetText(u"SerialPort") + u"," + sources->SourceStatus(5),
              u"6,0,9600,8,N,1.0,Not Loaded");
}

TEST_F(SourcesTest, SourcesDeliverInReadingOrderAndFollowPortAndScriptChangesAtOnce) {
    WriteBytes(program / "Other.kss", kResultsScript);
    AddSource(2, u"1,9600,8,N,1.0,250");
    AddSource(3, kNoPort);
    Start();
    const std::string message = ResultsMessage("A", kTwoRunners);
    SendText(client, message.substr(0, message.size() - 1));
    pty.Send(ResultsMessage("B", kTwoRunners));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 1; }));
    SendText(client, message.substr(message.size() - 1));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 2; }));
    EXPECT_EQ(delivered, (std::vector<std::string>{"B", "A"}))
        << "each as soon as its last character is read";

    // A COM port given to one source is taken from the other.
    settings.FindString(u"Sources\\3\\SerialPort")->SetValue(u"1,9600,8,N,1.0");
    EXPECT_EQ(settings.GetText(u"Sources\\2\\SerialPort"), kNoPort) << "port 0, without the repeat period";
    EXPECT_FALSE(sources->LiveStream(1)->IsOpen());
    pty.Send(ResultsMessage("C", kTwoRunners));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 3; }));
    EXPECT_TRUE(sources->LiveStream(2)->IsOpen());

    // A new script loads at once and loses a half message; a missing file keeps the old one.
    const size_t half = message.size() / 2, total = sources->CharsRead();
    SendText(client, message.substr(0, half));
    ASSERT_TRUE(ReadUpTo(total + half));
    settings.FindString(u"Sources\\1\\Script")->SetValue(u"Other.kss");
    SendText(client, message.substr(half));
    ASSERT_TRUE(ReadUpTo(total + message.size()));
    EXPECT_EQ(delivered.size(), 3u);
    settings.FindString(u"Sources\\1\\Script")->SetValue(u"Missing.kss");
    SendText(client, message);
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 4; }));
}

TEST_F(SourcesTest, GarbageBetweenAndInsideMessagesLeavesReceivedResultsAlone) {
    settings.FindInt(u"Sources\\Fields\\BufferSize")->SetValue(4096);
    Start();
    unsigned long long sent = 0;
    const auto send = [&](const std::string& bytes) {
        ASSERT_EQ(SendText(client, bytes), bytes.size());
        ASSERT_TRUE(ReadUpTo(sent += bytes.size()));
    };
    send(ResultsMessage("Boys 5K", kTwoRunners));
    const std::string received = Describe(sources->Event());
    ASSERT_EQ(received, "11 Ann/Lee AAA 17:01.20 0 1; 12 Bo/Day BBB 17:05.31 0 2");

    std::mt19937 random(13);
    std::string noise(3000, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    std::replace(noise.begin(), noise.end(), '\x02', 'x');  // no message starts inside the noise
    std::string inside = noise.substr(0, 300);
    std::erase(inside, '\x03');
    const std::string later = ResultsMessage(
        "Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:00.00"}, {"3", "13", "Cy", "CCC", "18:00"}});
    const std::pair<std::string, std::string> garbage[] = {
        {noise, received},                                      // random bytes between messages
        {later.substr(0, later.size() / 2) + later, received},  // a message cut short by the next
        {"\x02" + std::string(5000, 'x') + "\x03", received},   // a body beyond the buffer
        {"\x02" + inside + "\x03" + later,                      // a message of random bytes
         "11 Ann/Lee AAA 17:00.00 0 1; 12 Bo/Day BBB 17:05.31 0 2; 13 /Cy CCC 18:00 0 3"},
    };
    for (const auto& [bytes, expected] : garbage) {
        send(bytes);
        EXPECT_EQ(Describe(sources->Event()), expected);
    }
    EventRecord::ScopedLock lock(sources->Event());
    EXPECT_EQ(sources->Event().Standings().Size(), 3u) << "the standings follow each update";
}
