#include "app/TZAlerts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "app/AppTestSupport.h"

TEST(TZAlerts, ConfirmShowsTheLanguageButtonsAndTheTextWithLineBreaks) {
    QtArguments arguments;
    QApplication qt(arguments.argc, arguments.argv);
    TZAlerts alerts;
    alerts.SetTextLookup([](KStringView path) -> KString {
        if (path == u"Strings\\Dialog\\Yes") {
            return u"Ja";
        }
        if (path == u"Strings\\Dialog\\No") {
            return u"Nein";
        }
        return {};
    });
    struct Case {
        const char16_t* press;
        bool expected;
    };
    for (const Case c : {Case{u"Ja", true}, Case{u"Nein", false}}) {
        QStringList buttons;
        QString text;
        QString title;
        alerts.SetModalLoop([&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(box->isVisible());
            text = box->text();
            title = box->windowTitle();
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == ToQString(c.press)) {
                    button->click();
                }
            }
        });
        EXPECT_EQ(alerts.Confirm(u"Copy 2", u"One\\nTwo", KAlertButtons::YesNo, KAlertButton::No,
                                 KAlertSymbol::Question),
                  c.expected);
        EXPECT_EQ(title, QStringLiteral("Copy 2"));
        EXPECT_EQ(text, QStringLiteral("One\r\nTwo"));
        EXPECT_TRUE(buttons.contains(QStringLiteral("Ja")) && buttons.contains(QStringLiteral("Nein")));
    }
}

TEST(TZAlerts, BoxClosedWithoutAButtonCountsAsTheEscapeButton) {
    QtArguments arguments;
    QApplication qt(arguments.argc, arguments.argv);
    TZAlerts alerts;
    QString okText;
    alerts.SetModalLoop([&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        okText = box->buttons().value(0)->text();
        box->close();
    });
    EXPECT_FALSE(
        alerts.Confirm(u"t", u"x", KAlertButtons::OkCancel, KAlertButton::Ok, KAlertSymbol::Warning));
    EXPECT_EQ(okText, QStringLiteral("Ok"));  // no language text: the built-in one
    const KString text = u"Z\u00FCrich \U0001F3C3 \\n";
    EXPECT_EQ(FromQString(ToQString(text)), text);  // texts cross to Qt and back unchanged
}
