#pragma once

#include "settings/KRValue.h"

/// A String setting or text: the whole rest of its line, as is (a line break is the two
/// characters backslash and n). Read and written on the main thread only.
class KRString : public KRValue {
public:
    using Setter = std::function<void(KRString& node, const KString& value)>;

    KRString() = default;

    const KString& Value() const { return m_value; }
    void SetValue(const KString& value);
    void StoreValue(const KString& value) { m_value = value; }
    void SetSetter(Setter setter) { m_setter = std::move(setter); }

    KStringView TypeName() const override { return u"String"; }
    KString ValueText() const override { return m_value; }
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<KRString>(); }

protected:
    bool ParseValue(KStringView text) override;

private:
    KString m_value;
    Setter m_setter;
};
