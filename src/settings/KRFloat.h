#pragma once

#include <atomic>
#include <limits>

#include "settings/KRTypedValue.h"

/// A Float setting, written with six decimals and '.' whatever the locale, with optional
/// bounds ("no minimum" is the smallest positive normalised double). The value may be read
/// from another thread while the main thread sets it.
class KRFloat : public KRBoundedValue<KRFloat, double> {
public:
    double Value() const { return m_value.load(std::memory_order_relaxed); }
    /// Stores without the hook; what a hook calls.
    void StoreValue(double value) { m_value.store(value, std::memory_order_relaxed); }

    /// A decimal floating-point number with optional sign and exponent; trailing text is
    /// ignored; infinities, NaN and out-of-range numbers are refused.
    static std::optional<double> ParseText(KStringView text);
    /// "%lf" with '.' as the decimal point.
    static KString FormatText(double value);

    KStringView TypeName() const override { return u"Float"; }

private:
    std::atomic<double> m_value{0.0};
};
