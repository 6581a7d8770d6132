#include "script/ilcache.h"

#include "script/grammarwalker.h"

#include <QHash>
#include <memory>
#include <mutex>

namespace tw::ilcache {

namespace {

struct Entry {
    QString language;   // after a "#language" line, the one it named
    QString parsedText; // the walker's text, with the line end it may have added
    std::shared_ptr<const TfsXMLItem> program;
};

// Enough for every script of a run's templates; cleared when full rather than aged.
constexpr int kMaxEntries = 256;

std::mutex g_mutex;
QHash<QString, Entry> g_entries;

QString keyOf(const QString &language, bool extendedCharset, const QString &text)
{
    return language.toLower() + QChar(u'\0') + (extendedCharset ? u'1' : u'0') + QChar(u'\0') + text;
}

bool usesUnits(const TfsXMLItem *item)
{
    if (item->Name() == QLatin1String("uses"))
        return true;
    for (int i = 0; i < item->Count(); ++i)
        if (usesUnits(item->Items(i)))
            return true;
    return false;
}

} // namespace

std::shared_ptr<const TfsXMLItem> reuse(TfsILParser &parser, const QString &language, bool extendedCharset,
                                        const QString &text)
{
    Entry entry;
    {
        std::lock_guard lock(g_mutex);
        const auto it = g_entries.constFind(keyOf(language, extendedCharset, text));
        if (it == g_entries.constEnd())
            return nullptr;
        entry = *it;
    }
    if (parser.LangName() != entry.language)
        parser.SelectLanguage(entry.language);
    parser.Parser()->SetText(entry.parsedText);
    return entry.program;
}

void keep(TfsILParser &parser, const QString &language, bool extendedCharset, const QString &text)
{
    const TfsXMLItem *root = parser.ILScript()->Root();
    if (usesUnits(root))
        return;
    auto copy = std::make_shared<TfsXMLItem>();
    copy->Assign(root);
    Entry entry{parser.LangName(), parser.Parser()->Text(), std::move(copy)};
    std::lock_guard lock(g_mutex);
    if (g_entries.size() >= kMaxEntries)
        g_entries.clear();
    g_entries.insert(keyOf(language, extendedCharset, text), std::move(entry));
}

void clear()
{
    std::lock_guard lock(g_mutex);
    g_entries.clear();
}

} // namespace tw::ilcache
