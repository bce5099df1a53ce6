#pragma once

#include <atomic>
#include <limits>

#include "settings/KRValue.h"

/// An Int setting with optional bounds (kept and written, not enforced by the default
/// hook). The value may be read from another thread while the main thread sets it.
class KRInt : public KRValue {
public:
    using Setter = std::function<void(KRInt& node, int32_t value)>;
    static constexpr int32_t kNoMinimum = std::numeric_limits<int32_t>::min();
    static constexpr int32_t kNoMaximum = std::numeric_limits<int32_t>::max();

    KRInt() = default;

    int32_t Value() const { return m_value.load(std::memory_order_relaxed); }
    /// Through the setter hook (by default: stored unchanged, without clamping).
    void SetValue(int32_t value);
    void StoreValue(int32_t value) { m_value.store(value, std::memory_order_relaxed); }
    void SetSetter(Setter setter) { m_setter = std::move(setter); }

    /// kNoMinimum / kNoMaximum mean none.
    int32_t Minimum() const { return m_minimum; }
    int32_t Maximum() const { return m_maximum; }
    void SetMinimum(int32_t minimum) { m_minimum = minimum; }
    void SetMaximum(int32_t maximum) { m_maximum = maximum; }

    /// The integer syntax of the foundation (0x hex, leading 0 octal, else decimal with
    /// sign); trailing text is ignored. Numbers outside the 32-bit range are refused.
    static std::optional<int32_t> ParseInt32(KStringView text);

    KStringView TypeName() const override { return u"Int"; }
    KString ValueText() const override { return ToKString(Value()); }
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<KRInt>(); }

protected:
    bool ParseValue(KStringView text) override;
    void ParseBounds(const std::vector<KStringView>& fields) override;
    KString TypePart() const override;

private:
    std::atomic<int32_t> m_value{0};
    int32_t m_minimum = kNoMinimum;
    int32_t m_maximum = kNoMaximum;
    Setter m_setter;
};
