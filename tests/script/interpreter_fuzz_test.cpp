#include "interp_support.h"

#include "script/interpreter.h"
#include "support/testsupport.h"

#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tw;

namespace {

QString fixture(const QString &name)
{
    QFile f(tw::test::fixturePath(QStringLiteral("script/interp/") + name));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).remove(QLatin1Char('\r')) : QString();
}

// Deletes, duplicates or replaces a few characters or tokens.
QString mutate(QString text, QRandomGenerator &rng)
{
    static const QStringList pieces = {
        QStringLiteral("("), QStringLiteral(")"), QStringLiteral("["), QStringLiteral("]"), QStringLiteral("."),
        QStringLiteral(":="), QStringLiteral("+"), QStringLiteral("/"), QStringLiteral(" div "), QStringLiteral(" not "),
        QStringLiteral("'s'"), QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral(" i "), QStringLiteral(" Fact "),
        QStringLiteral(" begin "), QStringLiteral(" end "), QStringLiteral(";"), QStringLiteral(","), QStringLiteral("@"),
        QStringLiteral(" with i do "), QStringLiteral(" t[1] "), QStringLiteral(" exit "), QStringLiteral(" break "),
    };
    const int edits = 1 + int(rng.bounded(4));
    for (int e = 0; e < edits && !text.isEmpty(); ++e) {
        const int pos = int(rng.bounded(quint32(text.size())));
        switch (rng.bounded(3)) {
        case 0:
            text.remove(pos, 1 + int(rng.bounded(6)));
            break;
        case 1:
            text.insert(pos, pieces[int(rng.bounded(quint32(pieces.size())))]);
            break;
        default:
            text.insert(pos, text.mid(int(rng.bounded(quint32(text.size()))), 8));
            break;
        }
    }
    return text;
}

} // namespace

// Damaged programs compile to an error or run to an exception or an end; none may crash.
TEST(InterpreterFuzz, DamagedProgramsFailCleanly)
{
    struct Source {
        const char *language;
        const char *file;
    } sources[] = {
        {"RavidiReduva", "same.pas"}, {"R++Ivezud", "same.cpp"}, {"VozurOvuzur", "same.vb"}, {"JScript", "same.js"},
    };
    QRandomGenerator rng(20261210);
    int compiled = 0;
    for (const Source &src : sources) {
        const QString original = fixture(QString::fromLatin1(src.file));
        ASSERT_FALSE(original.isEmpty());
        for (int round = 0; round < 150; ++round) {
            const QString text = mutate(original, rng);
            TfsScript s;
            QString err;
            if (!tw::test::compileScript(s, text, QString::fromLatin1(src.language), &err))
                continue;
            ++compiled;
            int lines = 0;
            s.OnRunLine = [&lines](TfsScript *sender, const QString &, const QString &) {
                if (++lines > 20000)
                    sender->Terminate();
            };
            try {
                s.Execute();
                s.CallFunction(QStringLiteral("Fact"), Variant::arrayOf({Variant(3)}));
            } catch (const std::exception &) {
            }
        }
    }
    EXPECT_GT(compiled, 0);
}
