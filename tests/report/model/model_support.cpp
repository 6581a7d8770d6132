#include "model_support.h"

namespace tw::test {

TW_DEFINE_CLASS(TTestDataSet, &TfrxDataSet::staticClassInfo())
{
    ClassBuilder<TTestDataSet>(info).factory(frxFactory<TTestDataSet>());
}

void registerModelTestClasses()
{
    frxRegisterClasses();
    registerClass(&TTestDataSet::staticClassInfo());
}

QStringList attributeNames(const QString &attrs)
{
    QStringList names;
    qsizetype i = 0;
    for (;;) {
        while (i < attrs.size() && attrs[i] == QLatin1Char(' '))
            ++i;
        const qsizetype eq = attrs.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        names.append(attrs.mid(i, eq - i).trimmed());
        const qsizetype q1 = attrs.indexOf(QLatin1Char('"'), eq);
        const qsizetype q2 = attrs.indexOf(QLatin1Char('"'), q1 + 1);
        if (q1 < 0 || q2 < 0)
            break;
        i = q2 + 1;
    }
    return names;
}

QString attributeValue(const QString &attrs, const QString &name)
{
    qsizetype i = 0;
    for (;;) {
        while (i < attrs.size() && attrs[i] == QLatin1Char(' '))
            ++i;
        const qsizetype eq = attrs.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            return QString();
        const QString n = attrs.mid(i, eq - i).trimmed();
        const qsizetype q1 = attrs.indexOf(QLatin1Char('"'), eq);
        const qsizetype q2 = attrs.indexOf(QLatin1Char('"'), q1 + 1);
        if (q1 < 0 || q2 < 0)
            return QString();
        if (n == name)
            return attrs.mid(q1 + 1, q2 - q1 - 1);
        i = q2 + 1;
    }
}

QByteArray saveReport(TfrxReport &report)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    report.SaveToStream(&buffer);
    return buffer.data();
}

void loadReport(TfrxReport &report, const QByteArray &bytes, TfrxSilentMode mode)
{
    report.EngineOptions()->NewSilentMode = mode;
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    report.LoadFromStream(&buffer);
}

} // namespace tw::test
