#include "app/TZAlerts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "app/AppTestSupport.h"

TEST(TZAlerts, ConfirmShowsTheLanguagesButtonsAndLineBreaksAndAnswersAsPressed) {
    QApplication qt(gQtArgc, gQtArgv);
    TZAlerts alerts;
    alerts.SetTextLookup([](KStringView path) -> KString {
        return path == u"Strings\\Dialog\\Yes" ? u"Ja" : path == u"Strings\\Dialog\\No" ? u"Nein" : u"";
    });
    struct Case {
        KAlertButtons buttons;
        const char* press;  // none: the box is closed without a button
        const char* shown;  // button texts in order; without a language text the built-in one
        bool answer;
    };
    for (const Case c : {Case{KAlertButtons::YesNo, "Ja", "Ja|Nein", true},
                         Case{KAlertButtons::YesNo, "Nein", "Ja|Nein", false},
                         Case{KAlertButtons::OkCancel, "", "Ok|Cancel", false}}) {
        SCOPED_TRACE(c.press);
        QStringList shown;
        alerts.SetModalLoop([&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_TRUE(box != nullptr && box->isVisible());
            shown << box->windowTitle() << box->text();
            QAbstractButton* press = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                shown << button->text();
                if (button->text() == c.press) press = button;
            }
            press != nullptr ? press->click() : (void)box->close();
        });
        EXPECT_EQ(
            alerts.Confirm(u"Copy 2", u"One\\nTwo", c.buttons, KAlertButton::Ok, KAlertSymbol::Question),
            c.answer);
        EXPECT_EQ(shown.join('|'), QStringLiteral("Copy 2|One\r\nTwo|") + c.shown);
    }
    const KString text = u"Z\u00FCrich \U0001F3C3 \\n";
    EXPECT_EQ(FromQString(ToQString(text)), text);  // texts cross to Qt and back unchanged
}
