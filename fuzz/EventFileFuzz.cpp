// Loads any bytes as an event whose lists own field sets: a load either succeeds or throws a numbered
// error and leaves the event empty; a loaded event shows every cell of its tables, sorts against its
// field sets, and stores and loads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/EventRecord.h"
#include "scoring/FieldSet.h"

namespace {

/// Every cell of the list's table, walking the records its field set makes relevant.
void ShowTable(ResultList& list, FieldTable table) {
    const auto* set = dynamic_cast<const FieldSet*>(list.FieldSet());
    if (set == nullptr) std::abort();
    size_t shown = 0;
    for (ResultRecord* r = list.First(set); r != nullptr; r = list.Next(r, set)) {
        if (!set->Relevant(*r)) std::abort();
        for (const FieldSet::Column& column : set->Columns()) (void)CellText(table, column.field, *r);
        ++shown;
    }
    if (shown != list.Count(set)) std::abort();
}

}  // namespace

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
    ShowTable(event.Results(), FieldTable::Results);
    ShowTable(event.Standings(), FieldTable::Standings);
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
    const auto* set = static_cast<const FieldSet*>(event.Results().FieldSet());
    const auto* setAgain = static_cast<const FieldSet*>(again.Results().FieldSet());
    if (setAgain->Columns() != set->Columns() || setAgain->Filters() != set->Filters()) std::abort();
    return 0;
}
