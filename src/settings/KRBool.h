#pragma once

#include <atomic>

#include "settings/KRTypedValue.h"

/// A Bool setting, written 0 or 1, read in the integer syntax (non-zero is true).
/// The value may be read from another thread while the main thread sets it.
class KRBool : public KRTypedValue<KRBool, bool> {
public:
    bool Value() const { return m_value.load(std::memory_order_relaxed); }
    /// Stores without the hook; what a hook calls.
    void StoreValue(bool value) { m_value.store(value, std::memory_order_relaxed); }

    static std::optional<bool> ParseText(KStringView text);
    static KString FormatText(bool value) { return value ? u"1" : u"0"; }

    KStringView TypeName() const override { return u"Bool"; }

private:
    std::atomic<bool> m_value{false};
};
