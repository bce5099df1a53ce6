#pragma once

// The one way core code asks the operator something or tells them something.
// The application implements it with modal message boxes; tests answer it
// without a screen.

#include "foundation/KString.h"

enum class KAlertButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class KAlertButton { Ok, Cancel, Yes, No };
enum class KAlertSymbol { None, Error, Information, Warning, Question };

class KAlerts {
public:
    virtual ~KAlerts() = default;

    /// Modal alert with one acknowledge button and the error symbol.
    virtual void ShowError(const KString& title, const KString& text) = 0;
    /// Modal alert with one acknowledge button and the information symbol.
    virtual void ShowMessage(const KString& title, const KString& text) = 0;
    /// True when the operator chose the affirmative button (OK or Yes).
    virtual bool Confirm(const KString& title, const KString& text, KAlertButtons buttons,
                         KAlertButton defaultButton, KAlertSymbol symbol) = 0;
};

/// Texts carry a line break as the two characters backslash and n; alerts
/// show each such pair as CR LF.
KString ExpandLineBreaks(KStringView text);
