#include "script/ilcache.h"

#include "base/textcache.h"
#include "script/grammarwalker.h"

#include <memory>

namespace tw::ilcache {

namespace {

struct Entry {
    QString language;   // after a "#language" line, the one it named
    QString parsedText; // the walker's text, with the line end it may have added
    std::shared_ptr<const TfsXMLItem> program;
};

// Enough for every script of a run's templates.
TextCache<Entry> g_entries(256);

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
    if (!g_entries.find(keyOf(language, extendedCharset, text), entry))
        return nullptr;
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
    g_entries.insert(keyOf(language, extendedCharset, text), Entry{parser.LangName(), parser.Parser()->Text(), std::move(copy)});
}

void clear()
{
    g_entries.clear();
}

} // namespace tw::ilcache
