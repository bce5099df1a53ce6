#pragma once

#include <atomic>
#include <limits>

#include "settings/KRTypedValue.h"

/// An Int setting with optional bounds. The value may be read from another thread while
/// the main thread sets it.
class KRInt : public KRBoundedValue<KRInt, int32_t> {
public:
    int32_t Value() const { return m_value.load(std::memory_order_relaxed); }
    /// Stores without the hook; what a hook calls.
    void StoreValue(int32_t value) { m_value.store(value, std::memory_order_relaxed); }

    /// The integer syntax of the foundation (0x hex, leading 0 octal, else decimal with
    /// sign); trailing text is ignored. Numbers outside the 32-bit range are refused.
    static std::optional<int32_t> ParseText(KStringView text);
    static KString FormatText(int32_t value) { return ToKString(value); }

    KStringView TypeName() const override { return u"Int"; }

private:
    std::atomic<int32_t> m_value{0};
};
