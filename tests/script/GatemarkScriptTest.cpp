// The shipped Gatemark script against the results message of docs/gatemark-protocol.md.
#include <gtest/gtest.h>

#include <string>

#include "script/ScriptTestSupport.h"

namespace {

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

std::string Deliveries(const std::string& bytes) {
    Receiver receiver;
    EXPECT_TRUE(receiver.script.Load(KESTRUN_SOURCE_DIR "/data/Gatemark.kss"));
    receiver.Feed(bytes);
    return receiver.Joined();
}

}  // namespace

TEST(GatemarkScript, ProtocolMessagesAreCutIntoTheFieldsInputUpdatesRead) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string messages;
    };
    const std::string all = kEventFields + kAnnFields + kBoFields;
    const Case cases[] = {
        {"the guide's example", kExample, all},
        {"joined mid-message, with noise before the next header", "\t0\r\n\x03\x02GM\x02G\xff" + kExample,
         all},
        {"a message cut short after a line is closed by the next one's ETX",
         kExample.substr(0, 80) + kExample, kEventFields + kAnnFields + " / " + all},
        {"no results yet", "\x02GMRUnofficial\tBoys 5K\t\t12\t1\t1\tMass\t3\r\n\x03", kEventFields},
        // Delivered trimmed to the fields that matched; the next is cut from the script's own fields.
        {"messages cut inside a line or inside the event line spoil no later message",
         kExample.substr(0, 88) + kExample + kExample.substr(0, 20) + kExample,
         kEventFields + kAnnFields + " Place=2 Lane= Id=205 / " + all + " / Results: Official=Unofficial / " +
             all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Deliveries(c.bytes), c.messages);
    }
}
