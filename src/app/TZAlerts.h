#pragma once

// Alerts as Qt message boxes. Button texts are the language texts
// Strings\Dialog\Ok, Yes, Cancel and No, read when each alert is shown.

#include <QMessageBox>
#include <functional>

#include "foundation/KAlerts.h"

class TZAlerts : public KAlerts {
public:
    /// Returns the text of a settings path, empty when there is none.
    using TextLookup = std::function<KString(KStringView path)>;
    /// Runs the program's own loop until the given modal box has closed.
    using ModalLoop = std::function<void(QWidget* window)>;

    TZAlerts() = default;
    void SetTextLookup(TextLookup lookup) { m_lookup = std::move(lookup); }
    /// Without a loop the boxes run Qt's own modal loop.
    void SetModalLoop(ModalLoop loop) { m_loop = std::move(loop); }

    void ShowError(const KString& title, const KString& text) override;
    void ShowMessage(const KString& title, const KString& text) override;
    bool Confirm(const KString& title, const KString& text, KAlertButtons buttons, KAlertButton defaultButton,
                 KAlertSymbol symbol) override;

private:
    KAlertButton Show(const KString& title, const KString& text, KAlertButtons buttons,
                      KAlertButton defaultButton, KAlertSymbol symbol);
    QString ButtonText(KStringView key, const char16_t* fallback) const;

    TextLookup m_lookup;
    ModalLoop m_loop;
};

/// KString to QString and back; both are UTF-16.
QString ToQString(KStringView text);
KString FromQString(const QString& text);
