#pragma once

#include "db/database.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tw::app::gui {

// "Database Login": asked when the connection opens.
class LoginDialog : public QDialog, public tw::db::LoginPrompt {
public:
    explicit LoginDialog(QWidget *parent = nullptr);

    // Shows the dialog modally with the user prefilled and an empty password.
    bool ask(QString &userName, QString &password) override;

    QLineEdit *userNameEdit() const { return m_user; }
    QLineEdit *passwordEdit() const { return m_password; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace tw::app::gui
