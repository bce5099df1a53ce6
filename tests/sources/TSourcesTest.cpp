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
constexpr KStringView kCom1 = u"1,9600,8,N,1.0";
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
        for (const KString& line :
             {KString(u"Name:String=S") + ToKString(n), KString(u"Script:String=Results.kss"),
              u"SerialPort:String=" + KString(port), KString(u"CharMode:Int=0")}) {
            if (missing.empty() || !line.starts_with(missing)) settings.Define(group + line);
        }
    }

    void Start() {
        TSources::StartSources(settings, program.Path(), true, prototypes, ports, network);
        sources = std::make_unique<TSources>(settings, program.Path(), prototypes);
        sources->SetTeamScoring(&scorer.scoring);
        sources->SetUpdateObserver([this] { delivered.push_back(ToUtf8(sources->Event().Name())); });
    }
    uint16_t ListenPort() const { return dynamic_cast<KTCPSocket&>(*sources->LiveStream(0)).ListenPort(); }
    /// Polls the sources until `condition` holds or five seconds have passed.
    template <typename Condition>
    bool PollFor(Condition&& condition) {
        return PollUntil([&] {
            sources->PollSources();
            return condition();
        });
    }
    /// Polls until `count` characters have been read in all.
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
    std::vector<std::string> delivered;  // the event name after each update, in order
};

const std::vector<TestLine> kTwoRunners = {{"1", "11", "Ann Lee", "AAA", "17:01.20"},
                                           {"2", "12", "Bo Day", "BBB", "17:05.31"}};

}  // namespace

TEST_F(SourcesTest, StartListsScriptsByNameCreatesTheFirstStartSourceAndKeepsBufferFloors) {
    for (const char* name : {"b.kss", "A.KSS", "notes.txt"}) WriteBytes(program / name, "");
    settings.FindInt(u"Sources\\BufferSize")->SetValue(512);
    Start();
    ASSERT_EQ(sources->ScriptCount(), 3u);
    EXPECT_EQ(sources->ScriptName(0) + sources->ScriptName(1) + sources->ScriptName(2),
              u"A.KSSResults.kssb.kss");
    EXPECT_EQ(dynamic_cast<KUDPSocket&>(*prototypes.Prototypes().at(2)).ReceiveBufferSize(), 2048u);

    // A first start whose tree holds no source gets one on COM1 with the Gatemark script; a folder
    // without scripts leaves the list empty.
    for (const bool fileLoaded : {false, true}) {
        KRegistry bare;
        LoadDefaults(bare);
        KRGroup* group = bare.FindGroup(u"Sources\\");
        group->Remove(group->FindChild(u"1"));
        KTempFolder empty;
        KStreamPrototypes others;
        TSources::StartSources(bare, empty.Path(), fileLoaded, others, ports, network);
        EXPECT_EQ(bare.FindGroup(u"Sources\\Scripts\\")->ChildCount(), 0u);
        EXPECT_EQ(group->NumberedGroupCount(), fileLoaded ? 0u : 1u);
        EXPECT_EQ(bare.GetText(u"Sources\\1\\Name") + u"," + bare.GetText(u"Sources\\1\\Script") + u"," +
                      bare.GetText(u"Sources\\1\\SerialPort"),
                  fileLoaded ? u",," : u"Source,gatemark.kss,1,9600,8,N,1.0");
    }
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
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Name(), u"6");
    EXPECT_EQ(added->GetText(u"SerialPort"), kNoPort);
    EXPECT_EQ(sources->SourceStatus(5), u"Not Loaded");
}

TEST_F(SourcesTest, SourcesDeliverInReadingOrderAndAComPortGivenToOneIsTakenFromTheOther) {
    AddSource(2, u"1,9600,8,N,1.0,250");
    AddSource(3, kNoPort);
    Start();
    const KSocketHandle client = Client(ListenPort());
    const std::string overTcp = ResultsMessage("A", kTwoRunners);
    SendText(client, overTcp.substr(0, overTcp.size() - 1));
    pty.Send(ResultsMessage("B", kTwoRunners));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 1; }));
    SendText(client, overTcp.substr(overTcp.size() - 1));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 2; }));
    EXPECT_EQ(delivered, (std::vector<std::string>{"B", "A"}))
        << "each as soon as its last character is read";

    settings.FindString(u"Sources\\3\\SerialPort")->SetValue(KString(kCom1));
    EXPECT_EQ(settings.GetText(u"Sources\\2\\SerialPort"), kNoPort) << "port 0, without the repeat period";
    EXPECT_FALSE(sources->LiveStream(1)->IsOpen());
    pty.Send(ResultsMessage("C", kTwoRunners));
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 3; }));
    EXPECT_TRUE(sources->LiveStream(2)->IsOpen());
}

TEST_F(SourcesTest, ChangingTheScriptReloadsAtOnceLosingAHalfMessageAndAMissingFileKeepsTheOld) {
    WriteBytes(program / "Other.kss", kResultsScript);
    Start();
    const KSocketHandle client = Client(ListenPort());
    const std::string message = ResultsMessage("Boys 5K", kTwoRunners);
    const size_t half = message.size() / 2;
    SendText(client, message.substr(0, half));
    ASSERT_TRUE(ReadUpTo(half));
    settings.FindString(u"Sources\\1\\Script")->SetValue(u"Other.kss");
    SendText(client, message.substr(half));
    ASSERT_TRUE(ReadUpTo(message.size()));
    EXPECT_TRUE(delivered.empty());

    settings.FindString(u"Sources\\1\\Script")->SetValue(u"Missing.kss");
    SendText(client, message);
    ASSERT_TRUE(PollFor([&] { return delivered.size() == 1; }));
    EXPECT_EQ(settings.GetText(u"Sources\\1\\Script"), u"Missing.kss");
}

TEST_F(SourcesTest, GarbageBetweenAndInsideMessagesLeavesReceivedResultsAlone) {
    settings.FindInt(u"Sources\\Fields\\BufferSize")->SetValue(4096);
    Start();
    const KSocketHandle client = Client(ListenPort());
    unsigned long long sent = 0;
    const auto send = [&](const std::string& bytes) {
        ASSERT_EQ(SendText(client, bytes), bytes.size());
        sent += bytes.size();
        ASSERT_TRUE(ReadUpTo(sent));
    };
    send(ResultsMessage("Boys 5K", kTwoRunners));
    const std::string received = Describe(sources->Event());
    ASSERT_EQ(received, "11 Ann/Lee AAA 17:01.20 0 1; 12 Bo/Day BBB 17:05.31 0 2");

    std::mt19937 random(13);
    std::string noise(3000, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    std::replace(noise.begin(), noise.end(), '\x02', 'x');  // no message starts inside the noise
    const std::string later = ResultsMessage(
        "Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:00.00"}, {"3", "13", "Cy", "CCC", "18:00"}});
    std::string inside = noise.substr(0, 300);
    std::erase(inside, '\x03');
    const std::string updated =
        "11 Ann/Lee AAA 17:00.00 0 1; 12 Bo/Day BBB 17:05.31 0 2; 13 /Cy CCC 18:00 0 3";
    const std::pair<std::string, const std::string&> garbage[] = {
        {noise, received},                                       // random bytes between messages
        {later.substr(0, later.size() / 2) + later, received},   // a message cut short by the next
        {later.substr(0, later.size() - 1) + inside, received},  // a missing trailer ...
        {later, received},                                       // ... runs into the next message
        {"\x02" + std::string(5000, 'x') + "\x03", received},    // a body beyond the buffer
        {"\x02" + inside + later, received},                     // random bytes inside a message
        {"\x02" + inside + "\x03" + later, updated},             // a message of random bytes
    };
    for (const auto& [bytes, expected] : garbage) {
        send(bytes);
        EXPECT_EQ(Describe(sources->Event()), expected);
    }
    EventRecord::ScopedLock lock(sources->Event());
    EXPECT_EQ(sources->Event().Standings().Size(), 3u) << "the standings follow each update";
}
