#pragma once

#include <atomic>

#include "settings/KRValue.h"

/// A non-negative rational number, always kept reduced (0 is 0/1).
struct KRational {
    int32_t numerator = 0;
    int32_t denominator = 1;
    bool operator==(const KRational&) const = default;
};

/// A Rat setting: read as `3`, `3/4`, `1 3/4` or `1.75`, written as `1 3/4`.
/// The value may be read from another thread while the main thread sets it.
class KRRat : public KRValue {
public:
    using Setter = std::function<void(KRRat& node, KRational value)>;

    KRRat() = default;

    KRational Value() const;
    /// Through the setter hook (by default: stored unchanged).
    void SetValue(KRational value);
    void StoreValue(KRational value);
    void SetSetter(Setter setter) { m_setter = std::move(setter); }

    /// Reads the Rat syntax, reduced; nullopt for a sign, a zero denominator, or a number
    /// whose reduced terms do not fit 32 bits. Trailing text is ignored.
    static std::optional<KRational> ParseRational(KStringView text);
    /// 0, or the whole part, a blank and the remaining fraction: three halves are "1 1/2".
    static KString FormatRational(KRational value);

    KStringView TypeName() const override { return u"Rat"; }
    KString ValueText() const override { return FormatRational(Value()); }
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<KRRat>(); }

protected:
    bool ParseValue(KStringView text) override;

private:
    // Both terms in one word, so that a reader on another thread never sees half a change.
    std::atomic<uint64_t> m_packed{1};
    Setter m_setter;
};
