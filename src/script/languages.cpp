#include "script/languages.h"

#include "script/ilcache.h"

#include "script/messages.h"

#include <QFile>
#include <QList>
#include <QMutex>
#include <QPair>

static void initGrammarResources() { Q_INIT_RESOURCE(grammars); }

namespace tw {

namespace {

struct Registry {
    QMutex mutex;
    QList<QPair<QString, QString>> entries; // name, grammar text
};

QString readGrammar(const char *resource)
{
    QFile f(QString::fromLatin1(resource));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

void addLocked(Registry &r, const QString &name, const QString &grammar)
{
    for (auto &e : r.entries)
        if (e.first.compare(name, Qt::CaseInsensitive) == 0) {
            e.second = grammar;
            return;
        }
    r.entries.append({name, grammar});
}

Registry &registry()
{
    static Registry *r = [] {
        auto *reg = new Registry;
        initGrammarResources();
        addLocked(*reg, QStringLiteral("RavidiReduva"), readGrammar(":/script/grammars/ravidireduva.xml"));
        addLocked(*reg, QStringLiteral("R++Ivezud"), readGrammar(":/script/grammars/rppivezud.xml"));
        addLocked(*reg, QStringLiteral("VozurOvuzur"), readGrammar(":/script/grammars/vozurovuzur.xml"));
        addLocked(*reg, QStringLiteral("JScript"), readGrammar(":/script/grammars/jscript.xml"));
        return reg;
    }();
    return *r;
}

} // namespace

void AddScriptLanguage(const QString &name, const QString &grammar)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    addLocked(r, name, grammar);
    // Programs made with the grammar this one replaces are stale.
    ilcache::clear();
}

QString ScriptLanguageGrammar(const QString &name)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    for (const auto &e : r.entries)
        if (e.first.compare(name, Qt::CaseInsensitive) == 0)
            return e.second;
    throw EfsLanguageNotFound(fsmsg::SLangNotFound().replace(QLatin1String("%s"), name));
}

void ScriptLanguageNames(QStringList &list)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    list.clear();
    for (const auto &e : r.entries)
        if (!e.first.startsWith(QLatin1Char('@')))
            list.append(e.first);
}

} // namespace tw
