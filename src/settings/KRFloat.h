#pragma once

#include <atomic>
#include <limits>

#include "settings/KRValue.h"

/// A Float setting, written with six decimals and '.' whatever the locale. Bounds are
/// kept and written, not enforced by the default hook. The value may be read from
/// another thread while the main thread sets it.
class KRFloat : public KRValue {
public:
    using Setter = std::function<void(KRFloat& node, double value)>;
    /// The smallest positive normalised double stands for "no minimum".
    static constexpr double kNoMinimum = std::numeric_limits<double>::min();
    static constexpr double kNoMaximum = std::numeric_limits<double>::max();

    KRFloat() = default;

    double Value() const { return m_value.load(std::memory_order_relaxed); }
    void SetValue(double value);
    void StoreValue(double value) { m_value.store(value, std::memory_order_relaxed); }
    void SetSetter(Setter setter) { m_setter = std::move(setter); }

    double Minimum() const { return m_minimum; }
    double Maximum() const { return m_maximum; }
    void SetMinimum(double minimum) { m_minimum = minimum; }
    void SetMaximum(double maximum) { m_maximum = maximum; }

    /// A decimal floating-point number with optional sign and exponent; trailing text is
    /// ignored; infinities, NaN and out-of-range numbers are refused.
    static std::optional<double> ParseDouble(KStringView text);
    /// "%lf" with '.' as the decimal point.
    static KString FormatDouble(double value);

    KStringView TypeName() const override { return u"Float"; }
    KString ValueText() const override { return FormatDouble(Value()); }
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<KRFloat>(); }

protected:
    bool ParseValue(KStringView text) override;
    void ParseBounds(const std::vector<KStringView>& fields) override;
    KString TypePart() const override;

private:
    std::atomic<double> m_value{0.0};
    double m_minimum = kNoMinimum;
    double m_maximum = kNoMaximum;
    Setter m_setter;
};
