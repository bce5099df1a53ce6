// Loads any bytes as an event: a load either succeeds or throws a numbered error and leaves the event
// empty; a loaded event stores and loads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/EventRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EventRecord event;
    KBinaryReader in(std::span<const uint8_t>(data, size));
    try {
        event.Load(in);
    } catch (const KError&) {
        if (event.Results().Size() != 0 || event.Standings().Size() != 0 || !event.Name().empty())
            std::abort();
        return 0;
    }
    // Sorting and looking up whatever was loaded must hold up too.
    for (ResultRecord& r : event.Results().Sorted()) {
        if (event.Results().Find(TextField::Id, r.Id()) == nullptr) std::abort();
        (void)r.PlaceText();
    }
    (void)event.Standings().Sorted().begin();
    KBinaryWriter out;
    event.Store(out);
    EventRecord again;
    KBinaryReader reread(out.Bytes());
    try {
        again.Load(reread);
    } catch (const KError&) {
        std::abort();
    }
    if (again.Results().Size() != event.Results().Size()) std::abort();
    return 0;
}
