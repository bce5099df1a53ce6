// Feeds any bytes to the definitions of a results script with fixed and repeating fields, a fixed
// body length and a small buffer: no fault, and every delivery keeps its limits.
#include <cstddef>
#include <cstdint>

#include "SourceFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckedScript checked(size % 2 != 0 ? 64 : 4096);
    ReadScript(checked.script,
               {u";;Results", u"header=\\02,length=1", u"trailer=\\03,length=1",
                u"textfield=EventName,stop=\\09", u"textfield=HeatNumber,length=2,process=%-3.1s\\X2\\U3\\O0",
                u"textfieldrepeat=Place,stop=\\09,process=%3s", u"textfieldrepeat=Name,stop=\\09",
                u"textfieldrepeat=Laps,stop=\\0d\\0a", u";;Fixed", u"header=#!,length=2", u"bodylength=12",
                u"textfield=A,length=4", u"textfieldrepeat=B,length=3"});
    checked.Feed(data, size, size % 3 == 0);
    return 0;
}
