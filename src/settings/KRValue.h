#pragma once

// Common base of the typed value nodes.

#include <vector>

#include "settings/KRNode.h"

/// A value node: one typed value with a setter hook, written as
/// `name:Type,number[,min,max]=value`.
class KRValue : public KRNode {
public:
    /// The value as it is written to a line.
    virtual KString ValueText() const = 0;
    /// Parses `text` in this type's value syntax and stores it through the setter hook;
    /// sets the value-read flag. False (value unchanged) when the text does not parse.
    bool SetValueText(KStringView text);

    KRNode* Parse(KStringView line) override;
    void Write(KStringView prefix, const KRLineSink& sink) const override;

    /// What merging one line into this node accepted.
    struct ParseResult {
        bool typeAccepted = false;
        bool valueSeen = false;
        bool valueAccepted = false;
    };
    /// Merges a line that starts with this node's name; a new node is kept only when both
    /// its type part and its value part are accepted.
    ParseResult ParseLine(KStringView line);

protected:
    KRValue() = default;

    /// Stores a parsed value through the setter hook; false when `text` does not parse.
    virtual bool ParseValue(KStringView text) = 0;
    /// Type fields beyond the number (bounds of Int and Float); only called when field 0
    /// names this node's type.
    virtual void ParseBounds(const std::vector<KStringView>& /*fields*/) {}
    /// The type part as written: type name, number and, for Int and Float, the bounds.
    virtual KString TypePart() const;
};
