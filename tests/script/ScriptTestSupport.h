#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

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
    explicit Receiver(size_t capacity = 32768)
        : script(registers, capacity, [this](const TMessageDefinition& d) { Record(d); }) {}

    /// Each byte one character; "^" stands for STX and "$" for ETX.
    void Feed(std::string_view bytes) {
        for (const char c : bytes)
            script.Feed(c == '^' ? 2 : c == '$' ? 3 : static_cast<KChar>(static_cast<unsigned char>(c)));
    }

    /// The messages delivered so far, separated by " / ".
    std::string Joined() const {
        std::string text;
        for (const std::string& m : messages) text += (text.empty() ? "" : " / ") + m;
        return text;
    }

    VRegisters registers{};
    TSourceScript script;
    std::vector<std::string> messages;
    std::function<void()> onDelivery;  // called after each message is recorded

private:
    void Record(const TMessageDefinition& definition) {
        std::string text = ToUtf8(definition.Name()) + ":";
        for (const TFieldSpec& field : definition.Fields())
            text += " " + ToUtf8(field.text) + "=" + ToUtf8(field.value) + (field.matched ? "" : "?");
        messages.push_back(text);
        if (onDelivery) onDelivery();
    }
};
