#pragma once

#include <atomic>

#include "settings/KRTypedValue.h"

/// A non-negative rational number, always kept reduced (0 is 0/1).
struct KRational {
    int32_t numerator = 0;
    int32_t denominator = 1;
    bool operator==(const KRational&) const = default;
};

/// A Rat setting: read as `3`, `3/4`, `1 3/4` or `1.75`, written as `1 3/4`.
/// The value may be read from another thread while the main thread sets it.
class KRRat : public KRTypedValue<KRRat, KRational> {
public:
    KRational Value() const;
    /// Stores without the hook; what a hook calls.
    void StoreValue(KRational value);

    /// Reads the Rat syntax, reduced; nullopt for a sign, a zero denominator, or a number
    /// whose reduced terms do not fit 32 bits. Trailing text is ignored.
    static std::optional<KRational> ParseText(KStringView text);
    /// 0, or the whole part, a blank and the remaining fraction: three halves are "1 1/2".
    static KString FormatText(KRational value);

    KStringView TypeName() const override { return u"Rat"; }

private:
    // Both terms in one word, so that a reader on another thread never sees half a change.
    std::atomic<uint64_t> m_packed{1};
};
