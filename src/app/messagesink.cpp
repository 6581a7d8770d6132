#include "app/messagesink.h"

#include <cstdio>

namespace tw::app {

void StderrMessageSink::showMessage(const QString &caption, const QString &text)
{
    const QByteArray line = (caption + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace tw::app
