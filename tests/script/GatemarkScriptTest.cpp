// The shipped Gatemark script against the results message of docs/gatemark-protocol.md.
#include <gtest/gtest.h>

#include <string>

#include "script/ScriptTestSupport.h"

// The byte-level example of the protocol guide, leading ETX included.
const std::string kExample =
    "\x03\x02GMRUnofficial\tBoys 5K\t\t12\t1\t1\tMass\t3\r\n"
    "1\t\t101\tAnn Lee\tNorthfield\t15:01.2\t\t\t\t0\r\n"
    "2\t\t205\tBo Kim\tRiverside\t15:04.8\t3.6\t\t\t0\r\n\x03";

const std::string kEventFields =
    "Results: Official=Unofficial EventName=Boys 5K Wind= EventNumber=12 RoundNumber=1 HeatNumber=1 "
    "StartType=Mass NumberOfParticipants=3";
const std::string kAnnFields =
    " Place=1 Lane= Id=101 Name=Ann Lee Affiliation=Northfield Time=15:01.2 DeltaTime= "
    "CumulativeSplitTime= LastSplitTime= Laps=0";
const std::string kBoFields =
    " Place=2 Lane= Id=205 Name=Bo Kim Affiliation=Riverside Time=15:04.8 DeltaTime=3.6 "
    "CumulativeSplitTime= LastSplitTime= Laps=0";

TEST(GatemarkScript, ProtocolMessagesAreCutIntoTheFieldsInputUpdatesRead) {
    Receiver receiver;
    ASSERT_TRUE(receiver.script.Load(KESTRUN_SOURCE_DIR "/data/Gatemark.kss"));
    const std::string all = kEventFields + kAnnFields + kBoFields;
    receiver.Feed(kExample);
    EXPECT_EQ(receiver.Joined(), all);
    // Joined mid-message, with noise before a header; then messages cut short inside a line and
    // inside the event line, each delivered trimmed to the fields that matched: they spoil no later
    // message, as the next is cut from the script's own fields.
    receiver.Feed("\t0\r\n\x03\x02GM\x02G\xff" + kExample.substr(0, 88) + kExample + kExample.substr(0, 20) +
                  kExample);
    EXPECT_EQ(receiver.Joined(), all + " / " + kEventFields + kAnnFields + " Place=2 Lane= Id=205 / " + all +
                                     " / Results: Official=Unofficial / " + all);
}
