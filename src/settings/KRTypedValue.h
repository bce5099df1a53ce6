#pragma once

// What every typed value node shares: the setter hook, parsing a value through it and
// writing it back. Each node keeps its own storage (atomic where the scoreboard thread
// reads it) and says how its type reads and writes text.

#include <functional>
#include <limits>
#include <optional>
#include <utility>

#include "settings/KRValue.h"

/// `Node` provides `T Value() const`, `void StoreValue(T)`,
/// `static std::optional<T> ParseText(KStringView)` and `static KString FormatText(T)`.
template <typename Node, typename T>
class KRTypedValue : public KRValue {
public:
    /// Installed by owners that react to changes; it stores through StoreValue.
    using Setter = std::function<void(Node& node, T value)>;

    /// Through the setter hook (by default: stored unchanged, without clamping).
    void SetValue(T value) {
        if (m_setter) {
            m_setter(Self(), std::move(value));
        } else {
            Self().StoreValue(std::move(value));
        }
    }
    void SetSetter(Setter setter) { m_setter = std::move(setter); }

    KString ValueText() const override { return Node::FormatText(static_cast<const Node&>(*this).Value()); }
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<Node>(); }

protected:
    bool ParseValue(KStringView text) override {
        std::optional<T> value = Node::ParseText(text);
        if (!value) return false;
        SetValue(std::move(*value));
        return true;
    }

private:
    Node& Self() { return static_cast<Node&>(*this); }

    Setter m_setter;
};

/// The values that stand for "no bound": numeric_limits' min() and max() (for a double,
/// min() is the smallest positive normalised number). A type rather than value template
/// parameters, because clang 14 takes no floating-point template arguments.
template <typename T>
struct KRNoBounds {
    static constexpr T kMinimum = std::numeric_limits<T>::min();
    static constexpr T kMaximum = std::numeric_limits<T>::max();
};

/// A typed value with optional bounds, written `Type,number,min,max` with an empty field
/// for "none". The bounds are kept and written, not enforced by the default hook.
/// `NoBounds` supplies kMinimum and kMaximum, the values that mean none.
template <typename Node, typename T, typename NoBounds = KRNoBounds<T>>
class KRBoundedValue : public KRTypedValue<Node, T> {
public:
    static constexpr T kNoMinimum = NoBounds::kMinimum;
    static constexpr T kNoMaximum = NoBounds::kMaximum;

    /// kNoMinimum / kNoMaximum mean none.
    T Minimum() const { return m_minimum; }
    T Maximum() const { return m_maximum; }
    void SetMinimum(T minimum) { m_minimum = minimum; }
    void SetMaximum(T maximum) { m_maximum = maximum; }

protected:
    void ParseBounds(const std::vector<KStringView>& fields) override {
        if (fields.size() > 2) {
            if (const auto minimum = Node::ParseText(fields[2])) m_minimum = *minimum;
        }
        if (fields.size() > 3) {
            if (const auto maximum = Node::ParseText(fields[3])) m_maximum = *maximum;
        }
    }
    KString TypePart() const override {
        KString part = KRValue::TypePart() + u',';
        if (m_minimum != kNoMinimum) part += Node::FormatText(m_minimum);
        part += u',';
        if (m_maximum != kNoMaximum) part += Node::FormatText(m_maximum);
        return part;
    }

private:
    T m_minimum = kNoMinimum;
    T m_maximum = kNoMaximum;
};
