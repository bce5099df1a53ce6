// Feeds any bytes, twice, through a results script of the Gatemark shape into input updates on one
// event, with the standings recalculated after each: no fault, the results never outnumber the
// result lines delivered, the standings stay unofficial and the event lock is free afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "SourceFuzzSupport.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/TInputUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static StandaloneScorer scorer;
    EventRecord event;
    size_t lines = 0;
    VRegisters registers{};
    TSourceScript script(registers, 4096, [&](const TMessageDefinition& message) {
        for (const TFieldSpec& field : message.Fields()) lines += field.text == u"Laps" ? 1 : 0;
        ApplyInputUpdate(event, message.Fields(),
                         {.log = nullptr, .logEnabled = {}, .scoring = &scorer.scoring});
    });
    ReadScript(script,
               {u";;Results", u"header=\\02GMR,length=4", u"trailer=\\03,length=1",
                u"textfield=Official,stop=\\09", u"textfield=EventName,stop=\\09",
                u"textfield=NumberOfParticipants,stop=\\0d\\0a", u"textfieldrepeat=Place,stop=\\09",
                u"textfieldrepeat=Id,stop=\\09", u"textfieldrepeat=Name,stop=\\09",
                u"textfieldrepeat=Affiliation,stop=\\09", u"textfieldrepeat=Time,stop=\\09",
                u"textfieldrepeat=CumulativeSplitTime,stop=\\09", u"textfieldrepeat=Laps,stop=\\0d\\0a"});
    for (int pass = 0; pass < 2; ++pass) FeedBytes(script, data, size);
    if (!event.TryLock()) std::abort();
    if (event.Results().Size() > lines || event.Standings().IsOfficial()) std::abort();
    event.Unlock();
    return 0;
}
