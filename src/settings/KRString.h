#pragma once

#include "settings/KRTypedValue.h"

/// A String setting or text: the whole rest of its line, as is (a line break is the two
/// characters backslash and n). Read and written on the main thread only.
class KRString : public KRTypedValue<KRString, KString> {
public:
    const KString& Value() const { return m_value; }
    /// Stores without the hook; what a hook calls.
    void StoreValue(KString value) { m_value = std::move(value); }

    static std::optional<KString> ParseText(KStringView text) { return KString(text); }
    static KString FormatText(const KString& value) { return value; }

    KStringView TypeName() const override { return u"String"; }

private:
    KString m_value;
};
