#include "app/gui/logindialog.h"
#include "app/gui/qtmessagesink.h"
#include "guitestutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using tw::app::gui::LoginDialog;
using tw::app::gui::QtMessageSink;

namespace {

QLabel *labelFor(QWidget *dialog, QWidget *buddy)
{
    for (QLabel *label : dialog->findChildren<QLabel *>())
        if (label->buddy() == buddy)
            return label;
    return nullptr;
}

TEST(LoginDialog, FieldsAndButtons)
{
    LoginDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Database Login"));

    QLabel *user = labelFor(&dialog, dialog.userNameEdit());
    QLabel *password = labelFor(&dialog, dialog.passwordEdit());
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(user->text(), QStringLiteral("&User Name:"));
    EXPECT_EQ(password->text(), QStringLiteral("&Password:"));
    EXPECT_EQ(dialog.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.okButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
}

TEST(LoginDialog, OkReturnsTheEnteredLogin)
{
    LoginDialog dialog;
    QString shownUser, shownPassword;
    bool passwordFocused = false;
    tw::test::whenModalOpens([&](QWidget *) {
        shownUser = dialog.userNameEdit()->text();
        shownPassword = dialog.passwordEdit()->text();
        passwordFocused = dialog.focusWidget() == dialog.passwordEdit();
        dialog.userNameEdit()->setText(QStringLiteral("operator2"));
        dialog.passwordEdit()->setText(QStringLiteral("s3cret;x"));
        dialog.okButton()->click();
    });

    QString user = QStringLiteral("operator"), password = QStringLiteral("stale");
    EXPECT_TRUE(dialog.ask(user, password));
    EXPECT_EQ(shownUser, QStringLiteral("operator"));
    EXPECT_EQ(shownPassword, QString()); // never prefilled
    EXPECT_TRUE(passwordFocused);
    EXPECT_EQ(user, QStringLiteral("operator2"));
    EXPECT_EQ(password, QStringLiteral("s3cret;x"));
    EXPECT_EQ(dialog.passwordEdit()->text(), QString());
}

TEST(LoginDialog, CancelFailsAndLeavesTheLoginAlone)
{
    LoginDialog dialog;
    tw::test::whenModalOpens([&](QWidget *) {
        dialog.userNameEdit()->setText(QStringLiteral("someone"));
        dialog.passwordEdit()->setText(QStringLiteral("typed"));
        dialog.cancelButton()->click();
    });
    QString user = QStringLiteral("sa"), password;
    EXPECT_FALSE(dialog.ask(user, password));
    EXPECT_EQ(user, QStringLiteral("sa"));
    EXPECT_EQ(password, QString());

    // Asked again: the typed password of the cancelled attempt is gone.
    QString shownPassword = QStringLiteral("x");
    tw::test::whenModalOpens([&](QWidget *) {
        shownPassword = dialog.passwordEdit()->text();
        dialog.reject(); // closing the window is a cancel too
    });
    EXPECT_FALSE(dialog.ask(user, password));
    EXPECT_EQ(shownPassword, QString());
}

TEST(QtMessageSink, ShowsCaptionTextAndOneOkButton)
{
    QtMessageSink sink;
    QString caption, text;
    QList<QAbstractButton *> buttons;
    Qt::TextFormat format = Qt::AutoText;
    tw::test::whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        format = box->textFormat();
        caption = box->windowTitle();
        text = box->text();
        buttons = box->buttons();
        box->button(QMessageBox::Ok)->click();
    });
    sink.showMessage(QStringLiteral("Ошибка!"), QStringLiteral("Не возможно создать каталог 'Logs'"));
    EXPECT_EQ(caption, QStringLiteral("Ошибка!"));
    EXPECT_EQ(text, QStringLiteral("Не возможно создать каталог 'Logs'"));
    EXPECT_EQ(buttons.size(), 1);
    // Error texts may hold markup-like parts such as <CUST."id1">; shown as typed.
    EXPECT_EQ(format, Qt::PlainText);
}

} // namespace
