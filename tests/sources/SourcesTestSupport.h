#pragma once

// What the sources' tests share: a results script of the timing system's shape, messages in it,
// and an update's fields written as text.

#include <sstream>
#include <string>
#include <vector>

#include "foundation/KString.h"
#include "scoring/EventRecord.h"
#include "script/TSourceScript.h"

/// STX, the event fields each ending with a tab (the last with CR LF), one line per result, ETX.
inline constexpr char kResultsScript[] =
    ";;Results\r\n"
    "header=\\02,length=1\r\n"
    "trailer=\\03,length=1\r\n"
    "textfield=Official,stop=\\09\r\n"
    "textfield=EventName,stop=\\09\r\n"
    "textfield=NumberOfParticipants,stop=\\0d\\0a\r\n"
    "textfieldrepeat=Place,stop=\\09\r\n"
    "textfieldrepeat=Id,stop=\\09\r\n"
    "textfieldrepeat=Name,stop=\\09\r\n"
    "textfieldrepeat=Affiliation,stop=\\09\r\n"
    "textfieldrepeat=Time,stop=\\09\r\n"
    "textfieldrepeat=Laps,stop=\\0d\\0a\r\n";

struct TestLine {
    std::string place, id, name, affiliation, time, laps = "0";
};

/// One results message of kResultsScript's shape.
inline std::string ResultsMessage(const std::string& eventName, const std::vector<TestLine>& lines) {
    std::string message = "\x02U\t" + eventName + "\t" + std::to_string(lines.size()) + "\r\n";
    for (const TestLine& line : lines) {
        message += line.place + "\t" + line.id + "\t" + line.name + "\t" + line.affiliation + "\t" +
                   line.time + "\t" + line.laps + "\r\n";
    }
    return message + "\x03";
}

/// An update's fields from "Name=value|Name=value...".
inline std::vector<TFieldSpec> Fields(const std::string& update) {
    std::vector<TFieldSpec> fields;
    std::istringstream items(update);
    for (std::string item; std::getline(items, item, '|');) {
        const size_t at = item.find('=');
        fields.push_back({FromUtf8(item.substr(0, at)), -1, {}, {}, true, FromUtf8(item.substr(at + 1))});
    }
    return fields;
}

/// Each result in list order: "id first/last affiliation time laps place", joined by "; ".
inline std::string Describe(EventRecord& event) {
    std::string text;
    EventRecord::ScopedLock lock(event);
    for (ResultRecord& r : event.Results().Sorted())
        text += (text.empty() ? "" : "; ") +
                ToUtf8(r.Id() + u" " + r.FirstName() + u"/" + r.LastName() + u" " + r.Affiliation() + u" " +
                       r.FormatTimeField(r.Time()) + u" " + ToKString(r.LapsToGo()) + u" " + r.PlaceText());
    return text;
}
