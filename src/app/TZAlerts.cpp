#include "app/TZAlerts.h"

#include <QAbstractButton>
#include <QPushButton>
#include <map>

QString ToQString(KStringView text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

KString FromQString(const QString& text) {
    return KString(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

void TZAlerts::ShowError(const KString& title, const KString& text) {
    Show(title, text, KAlertButtons::Ok, KAlertButton::Ok, KAlertSymbol::Error);
}

void TZAlerts::ShowMessage(const KString& title, const KString& text) {
    Show(title, text, KAlertButtons::Ok, KAlertButton::Ok, KAlertSymbol::Information);
}

bool TZAlerts::Confirm(const KString& title, const KString& text, KAlertButtons buttons,
                       KAlertButton defaultButton, KAlertSymbol symbol) {
    const KAlertButton chosen = Show(title, text, buttons, defaultButton, symbol);
    return chosen == KAlertButton::Ok || chosen == KAlertButton::Yes;
}

QString TZAlerts::ButtonText(KStringView key, const char16_t* fallback) const {
    KString text;
    if (m_lookup) {
        text = m_lookup(key);
    }
    return ToQString(text.empty() ? KStringView(fallback) : KStringView(text));
}

KAlertButton TZAlerts::Show(const KString& title, const KString& text, KAlertButtons buttons,
                            KAlertButton defaultButton, KAlertSymbol symbol) {
    QMessageBox box;
    box.setWindowTitle(ToQString(title));
    box.setText(ToQString(ExpandLineBreaks(text)));
    switch (symbol) {
        case KAlertSymbol::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case KAlertSymbol::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case KAlertSymbol::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case KAlertSymbol::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case KAlertSymbol::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    std::map<QAbstractButton*, KAlertButton> meaning;
    auto add = [&](KAlertButton button) {
        QPushButton* widget = nullptr;
        switch (button) {
            case KAlertButton::Ok:
                widget = box.addButton(ButtonText(u"Strings\\Dialog\\Ok", u"Ok"), QMessageBox::AcceptRole);
                break;
            case KAlertButton::Cancel:
                widget =
                    box.addButton(ButtonText(u"Strings\\Dialog\\Cancel", u"Cancel"), QMessageBox::RejectRole);
                break;
            case KAlertButton::Yes:
                widget = box.addButton(ButtonText(u"Strings\\Dialog\\Yes", u"Yes"), QMessageBox::YesRole);
                break;
            case KAlertButton::No:
                widget = box.addButton(ButtonText(u"Strings\\Dialog\\No", u"No"), QMessageBox::NoRole);
                break;
        }
        meaning[widget] = button;
        if (button == defaultButton) {
            box.setDefaultButton(widget);
        }
        return widget;
    };
    QPushButton* escape = nullptr;
    switch (buttons) {
        case KAlertButtons::Ok:
            escape = add(KAlertButton::Ok);
            break;
        case KAlertButtons::OkCancel:
            add(KAlertButton::Ok);
            escape = add(KAlertButton::Cancel);
            break;
        case KAlertButtons::YesNo:
            add(KAlertButton::Yes);
            escape = add(KAlertButton::No);
            break;
        case KAlertButtons::YesNoCancel:
            add(KAlertButton::Yes);
            add(KAlertButton::No);
            escape = add(KAlertButton::Cancel);
            break;
    }
    box.setEscapeButton(escape);
    if (m_loop) {
        box.setModal(true);
        box.show();
        m_loop(&box);
    } else {
        box.exec();
    }
    const auto found = meaning.find(box.clickedButton());
    if (found != meaning.end()) {
        return found->second;
    }
    // Closed without a button: the same as the escape button.
    return meaning.count(escape) != 0 ? meaning[escape] : KAlertButton::Cancel;
}
