#pragma once

// A menu item's text as the settings hold it: "label[,accelerator]". The label marks its mnemonic
// with an ampersand; the accelerator names the key that issues the item's command.

#include "foundation/KString.h"

/// The modifier and function-key names an accelerator is shown with (Strings\Menu\...).
struct VZModifierNames {
    KString shift = u"Shift";
    KString ctrl = u"Ctrl";
    KString alt = u"Alt";
    KString function;  ///< before a function key's number; no default text
};

struct VZMenuText {
    /// Function keys the toolkit knows; a larger number gives no accelerator.
    static constexpr int kMaxFunctionKey = 35;

    KString label;       ///< ampersands resolved
    int mnemonic = -1;   ///< index in `label` of the marked character, -1 when none
    bool shift = false;  // the accelerator's modifiers
    bool ctrl = false;
    bool alt = false;
    int functionKey = 0;  ///< 1 for F1 ...; 0 when the key is a character
    KChar key = 0;        ///< the key character; 0 with neither: no accelerator

    bool HasAccelerator() const { return functionKey > 0 || key != 0; }

    /// Splits at the first comma. A letter and "+" is a modifier prefix while three characters or
    /// more remain (A Alt, C Ctrl, S Shift, other letters ignored); then "F" and a number is a
    /// function key, else the first character is the key (letters in upper case). Ctrl is added
    /// when neither Alt nor Ctrl nor a function key is named.
    static VZMenuText Parse(KStringView text);

    /// "Shift+Ctrl+Alt+" as present, then the key or the function name and number; empty when
    /// there is no accelerator.
    KString AcceleratorText(const VZModifierNames& names) const;
    /// The label in the toolkit's form: one '&' before the mnemonic, other ampersands doubled.
    KString MarkedLabel() const;
};
