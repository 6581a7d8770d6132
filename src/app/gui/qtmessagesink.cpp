#include "app/gui/qtmessagesink.h"

#include <QMessageBox>

namespace tw::app::gui {

void QtMessageSink::showMessage(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_parent.data());
    box.setTextFormat(Qt::PlainText); // error texts carry SQL and template markup
    box.exec();
}

} // namespace tw::app::gui
