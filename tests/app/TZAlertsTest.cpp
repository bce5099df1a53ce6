#include "app/TZAlerts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <tuple>

#include "app/AppTestSupport.h"

TEST(TZAlerts, ConfirmShowsTheLanguagesButtonsAndLineBreaksAndAnswersAsPressed) {
    QApplication qt(gQtArgc, gQtArgv);
    TZAlerts alerts;
    alerts.SetTextLookup([](KStringView path) -> KString {
        return path == u"Strings\\Dialog\\Yes" ? u"Ja" : path == u"Strings\\Dialog\\No" ? u"Nein" : u"";
    });
    // The buttons; the one pressed (none: the box is closed without a button); the button texts in
    // order, without a language text the built-in one; the answer.
    using Case = std::tuple<KAlertButtons, const char*, const char*, bool>;
    for (const auto& [buttons, pressed, texts, answer] :
         {Case{KAlertButtons::YesNo, "Ja", "Ja|Nein", true},
          Case{KAlertButtons::YesNo, "Nein", "Ja|Nein", false},
          Case{KAlertButtons::OkCancel, "", "Ok|Cancel", false}}) {
        SCOPED_TRACE(pressed);
        QStringList shown;
        alerts.SetModalLoop([&, pressed = pressed](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_TRUE(box != nullptr && box->isVisible());
            shown << box->windowTitle() << box->text();
            QAbstractButton* press = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                shown << button->text();
                if (button->text() == pressed) press = button;
            }
            press != nullptr ? press->click() : (void)box->close();
        });
        EXPECT_EQ(alerts.Confirm(u"Copy 2", u"One\\nTwo", buttons, KAlertButton::Ok, KAlertSymbol::Question),
                  answer);
        EXPECT_EQ(shown.join('|'), QStringLiteral("Copy 2|One\r\nTwo|") + texts);
    }
    const KString text = u"Z\u00FCrich \U0001F3C3 \\n";
    EXPECT_EQ(FromQString(ToQString(text)), text);  // texts cross to Qt and back unchanged
}
