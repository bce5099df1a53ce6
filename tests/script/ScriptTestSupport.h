#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "foundation/KString.h"
#include "script/TSourceScript.h"

/// A text of the given character codes (binary output is easiest to state this way).
inline KString Chars(std::initializer_list<int> codes) {
    KString text;
    for (const int c : codes) text += static_cast<KChar>(c);
    return text;
}

// Each delivered message as "definition: name=value name=value?" (? marks a field that did not match).
class Receiver {
public:
    Receiver() : script(registers, 32768, [this](const TMessageDefinition& d) { Record(d); }) {}

    /// Each byte one character; "^" stands for STX and "$" for ETX.
    void Feed(std::string_view bytes) {
        for (const char c : bytes)
            script.Feed(c == '^' ? 2 : c == '$' ? 3 : static_cast<KChar>(static_cast<unsigned char>(c)));
    }

    /// The messages delivered so far, separated by " / ".
    const std::string& Joined() const { return m_joined; }

    VRegisters registers{};
    TSourceScript script;
    std::function<void()> onDelivery;  // called after each message is recorded

private:
    void Record(const TMessageDefinition& definition) {
        m_joined += (m_joined.empty() ? "" : " / ") + ToUtf8(definition.Name()) + ":";
        for (const TFieldSpec& field : definition.Fields())
            m_joined += " " + ToUtf8(field.text) + "=" + ToUtf8(field.value) + (field.matched ? "" : "?");
        if (onDelivery) onDelivery();
    }

    std::string m_joined;
};
