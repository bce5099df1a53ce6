#pragma once

#include <atomic>

#include "settings/KRValue.h"

/// A Bool setting, written 0 or 1, read in the integer syntax (non-zero is true).
/// The value may be read from another thread while the main thread sets it.
class KRBool : public KRValue {
public:
    /// Installed by owners that react to changes; it stores through StoreValue.
    using Setter = std::function<void(KRBool& node, bool value)>;

    KRBool() = default;

    bool Value() const { return m_value.load(std::memory_order_relaxed); }
    /// Through the setter hook (by default: stored unchanged).
    void SetValue(bool value);
    /// Stores without the hook; what a hook calls.
    void StoreValue(bool value) { m_value.store(value, std::memory_order_relaxed); }
    void SetSetter(Setter setter) { m_setter = std::move(setter); }

    KStringView TypeName() const override { return u"Bool"; }
    KString ValueText() const override;
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<KRBool>(); }

protected:
    bool ParseValue(KStringView text) override;

private:
    std::atomic<bool> m_value{false};
    Setter m_setter;
};
