#pragma once

// What the sources' tests share: a results script of the timing system's shape, messages in it,
// and an update's fields written as name/value pairs.

#include <string>
#include <utility>
#include <vector>

#include "foundation/KString.h"
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

/// An update's fields, in order.
inline std::vector<TFieldSpec> Fields(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<TFieldSpec> fields;
    for (const auto& [name, value] : pairs) {
        TFieldSpec field;
        field.text = FromUtf8(name);
        field.value = FromUtf8(value);
        field.matched = true;
        fields.push_back(std::move(field));
    }
    return fields;
}

/// The text of an activity-log line without its category, date and time.
inline KString LogText(const KString& line) {
    const size_t colon = line.find(u": ", 3);
    return colon == KString::npos ? line : line.substr(colon + 2);
}
