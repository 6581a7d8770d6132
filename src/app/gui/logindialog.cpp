#include "app/gui/logindialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::app::gui {

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(QStringLiteral("Database Login"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("UserName"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setEchoMode(QLineEdit::Password);

    auto *userLabel = new QLabel(QStringLiteral("&User Name:"), this);
    userLabel->setBuddy(m_user);
    auto *passwordLabel = new QLabel(QStringLiteral("&Password:"), this);
    passwordLabel->setBuddy(m_password);

    auto *fields = new QGridLayout;
    fields->addWidget(userLabel, 0, 0);
    fields->addWidget(m_user, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(m_password, 1, 1);
    fields->setColumnMinimumWidth(1, 180);

    // Fixed texts: the captions must not depend on an installed translation.
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool LoginDialog::ask(QString &userName, QString &password)
{
    m_user->setText(userName);
    m_password->clear();
    // With the user known, the operator only has to type the password.
    if (userName.isEmpty())
        m_user->setFocus();
    else
        m_password->setFocus();

    const bool accepted = exec() == QDialog::Accepted;
    if (accepted) {
        userName = m_user->text();
        password = m_password->text();
    }
    m_password->clear(); // do not keep the password around in the widget
    return accepted;
}

} // namespace tw::app::gui
