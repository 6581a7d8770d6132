#include "script/grammarwalker.h"

#include "base/codepage.h"
#include "script/languages.h"
#include "script/messages.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

namespace tw {

namespace {

// Walk frames allowed before a script is refused as too deeply nested: under 2 MB of
// stack whatever the input, yet room for some 800 chained else-ifs.
constexpr int kMaxDepth = 12000;

const QString kTooDeep = QStringLiteral("Nesting too deep");
// Used when a walk fails without the grammar naming an error, so a failure is never
// reported with an empty message.
const QString kStatementExpected = QStringLiteral("Statement expected");

// The walk's annotations must not travel into documents handed out.
void clearData(TfsXMLItem *item)
{
    item->SetData(nullptr);
    for (int i = 0; i < item->Count(); ++i)
        clearData(item->Items(i));
}

QString attr(const QString &name, const QString &value)
{
    return QLatin1Char(' ') + name + QLatin1String("=\"") + fsXMLEscape(value) + QLatin1Char('"');
}

} // namespace

// A grammar document read once and annotated for the walk; shared by every parser of the
// same grammar text and never changed afterwards.
struct TfsILParser::PreparedGrammar {
    TfsXMLDocument doc;
    std::deque<ItemInfo> infos;
    TfsParser keywords; // holds only the language's keywords, read once
};

std::shared_ptr<const TfsILParser::PreparedGrammar> TfsILParser::prepared(const QString &grammarText)
{
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<const PreparedGrammar>> cache;
    QMutexLocker lock(&mutex);
    // The registry hands out shared copies of its texts: a key holding the very same
    // characters is that text, found without hashing and comparing a whole grammar.
    for (auto it = cache.cbegin(); it != cache.cend(); ++it)
        if (it.key().constData() == grammarText.constData() && it.key().size() == grammarText.size())
            return it.value();
    if (auto it = cache.constFind(grammarText); it != cache.constEnd())
        return *it;
    auto g = std::make_shared<PreparedGrammar>();
    g->doc.LoadFromBytes(grammarText.toUtf8());
    TfsXMLItem *root = g->doc.Root();
    // Every child of the root can be named as a rule, parser and types included.
    for (int i = 0; i < root->Count(); ++i)
        prepareItem(*g, root->Items(i), true);
    if (const int pi = root->Find(QStringLiteral("parser")); pi >= 0)
        if (const int ki = root->Items(pi)->Find(QStringLiteral("keywords")); ki >= 0) {
            const TfsXMLItem *kw = root->Items(pi)->Items(ki);
            for (int i = 0; i < kw->Count(); ++i)
                g->keywords.AddKeyword(kw->Items(i)->Name());
        }
    // Replaced grammars stay cached; the registry holds a handful of languages.
    cache.insert(grammarText, g);
    return g;
}

const TfsXMLDocument *TfsILParser::Grammar() const { return m_grammar ? &m_grammar->doc : nullptr; }

TfsILParser::TfsILParser(ScriptCompileTarget *program)
    : m_program(program), m_usesList(std::make_shared<QStringList>())
{
}

TfsILParser::~TfsILParser() = default;

void TfsILParser::SelectLanguage(const QString &langName)
{
    m_parser.Clear();
    // Clear keeps these two; a language selected after another must not inherit them.
    m_parser.SetCaseSensitive(false);
    m_parser.SetCommentLine2(QString());
    m_needDeclareVars = true;
    m_grammar = prepared(ScriptLanguageGrammar(langName));
    m_langName = langName;
    m_root = m_grammar->doc.Root();
    m_errors = nullptr;

    const int pi = m_root->Find(QStringLiteral("parser"));
    if (pi >= 0) {
        TfsXMLItem *parser = m_root->Items(pi);
        m_parser.AddKeywords(m_grammar->keywords);
        const int ei = parser->Find(QStringLiteral("errors"));
        if (ei >= 0)
            m_errors = parser->Items(ei);
        for (int i = 0; i < parser->Count(); ++i) {
            TfsXMLItem *s = parser->Items(i);
            const QString name = s->Name().toLower();
            const QString value = s->Prop(QStringLiteral("text"));
            if (name == QLatin1String("identchars"))
                m_parser.ConstructCharset(value);
            else if (name == QLatin1String("commentline1"))
                m_parser.SetCommentLine1(value);
            else if (name == QLatin1String("commentline2"))
                m_parser.SetCommentLine2(value);
            else if (name == QLatin1String("commentblock1"))
                m_parser.SetCommentBlock1(value);
            else if (name == QLatin1String("commentblock2"))
                m_parser.SetCommentBlock2(value);
            else if (name == QLatin1String("stringquotes"))
                m_parser.SetStringQuotes(value);
            else if (name == QLatin1String("hexsequence"))
                m_parser.SetHexSequence(value);
            else if (name == QLatin1String("specstrchar"))
                m_parser.SetSpecStrChar(value == QLatin1String("1"));
            else if (name == QLatin1String("declarevars"))
                m_needDeclareVars = value != QLatin1String("0");
            else if (name == QLatin1String("skipeol"))
                m_parser.SetSkipEOL(value != QLatin1String("0"));
            else if (name == QLatin1String("skipchar"))
                m_parser.SetSkiPChar(value);
            else if (name == QLatin1String("casesensitive"))
                m_parser.SetCaseSensitive(value == QLatin1String("1"));
        }
    }
    if (m_program && m_program->ExtendedCharset)
        for (int c = 128; c < 256; ++c)
            m_parser.IdentifierCharset().set(c);
}

TfsXMLItem *TfsILParser::findRule(const QString &name) const
{
    const int i = m_root->Find(name);
    return i >= 0 ? m_root->Items(i) : nullptr;
}

void TfsILParser::prepareItem(PreparedGrammar &g, TfsXMLItem *item, bool isRule)
{
    g.infos.emplace_back();
    ItemInfo &info = g.infos.back();
    item->SetData(&info);
    const QString name = item->Name().toLower();
    static const QHash<QString, Kind> kinds = {
        {QStringLiteral("char"), Kind::Char},
        {QStringLiteral("keyword"), Kind::Keyword},
        {QStringLiteral("ident"), Kind::Ident},
        {QStringLiteral("number"), Kind::Number},
        {QStringLiteral("string"), Kind::String},
        {QStringLiteral("frstring"), Kind::FRString},
        {QStringLiteral("eol"), Kind::Eol},
        {QStringLiteral("sequence"), Kind::Sequence},
        {QStringLiteral("switch"), Kind::Switch},
        {QStringLiteral("optionalswitch"), Kind::OptionalSwitch},
        {QStringLiteral("loop"), Kind::Loop},
        {QStringLiteral("optionalloop"), Kind::OptionalLoop},
        {QStringLiteral("optional"), Kind::Optional},
    };
    if (isRule) {
        info.kind = Kind::Rule;
    } else {
        info.kind = kinds.value(name, Kind::Ref);
        if (info.kind == Kind::Ref) {
            info.refName = name;
            const int ri = g.doc.Root()->Find(name);
            info.rule = ri >= 0 ? g.doc.Root()->Items(ri) : nullptr;
        }
    }
    info.rawText = item->Prop(QStringLiteral("text"));
    info.text = info.rawText.toLower();
    info.node = item->Prop(QStringLiteral("node"));
    info.add = item->Prop(QStringLiteral("add"));
    info.hasAddText = item->PropExists(QStringLiteral("addtext"));
    info.addText = item->Prop(QStringLiteral("addtext"));
    info.err = item->Prop(QStringLiteral("err"));
    info.term = item->Prop(QStringLiteral("term")) == QLatin1String("1");
    const QString skip = item->Prop(QStringLiteral("skip"));
    info.noSkip = skip == QLatin1String("0");
    info.forgive = skip == QLatin1String("1");
    for (int i = 0; i < item->Count(); ++i)
        prepareItem(g, item->Items(i), false);
}

bool TfsILParser::MakeILScript(const QString &text)
{
    m_lines.clear();
    m_error = RecordedError();
    m_ilScript.Clear();
    if (m_unitName.isEmpty() && m_program)
        m_program->ErrorUnit.clear();
    bool ok = false;
    try {
        if (!m_root)
            throw EfsInvalidLanguage(fsmsg::SInvalidLanguage());
        m_parser.SetText(text);
        if (text.startsWith(QLatin1Char('#'))) {
            m_parser.SetPosition(2);
            if (m_parser.GetWord().compare(QLatin1String("language"), Qt::CaseInsensitive) == 0) {
                const int from = m_parser.Position() - 1;
                const qsizetype cr = text.indexOf(QLatin1Char('\r'), from);
                const QString name = text.mid(from, cr < 0 ? -1 : cr - from).trimmed();
                SelectLanguage(name);
                m_parser.SetPosition(cr < 0 ? int(text.size()) + 1 : int(cr) + 3);
            } else {
                m_parser.SetPosition(1);
            }
        }
        if (!m_parser.SkipEOL() && !text.isEmpty() && !text.endsWith(QLatin1Char('\n'))
            && !text.endsWith(QLatin1Char('\r'))) {
            // Line ends are tokens here: the last line needs one too.
            const int pos = m_parser.Position();
            m_parser.SetText(text + QStringLiteral("\r\n"));
            m_parser.SetPosition(pos);
        }
        TfsXMLItem *program = findRule(QStringLiteral("program"));
        if (!program)
            throw EfsInvalidLanguage(fsmsg::SInvalidLanguage());
        const int start = m_parser.Position();
        const bool matched = walk(program);
        if (!matched && !m_error.set) {
            m_error.set = true;
            m_error.msg = kStatementExpected;
            m_error.pos = firstNonBlankPos(start);
        }
        if (matched && !m_error.set && program->Prop(QStringLiteral("wholetext")) == QLatin1String("1")) {
            // A program that is a bare statement list ends only at the end of the text:
            // whatever is left there did not parse and must not be dropped silently.
            while (m_parser.GetEOL()) {
            }
            m_parser.SkipSpaces();
            if (m_parser.Position() <= m_parser.Length()) {
                m_error.set = true;
                m_error.msg = kStatementExpected;
                m_error.pos = m_parser.GetXYPosition();
            }
        }
        if (matched && !m_error.set) {
            QByteArray xml("<?xml version=\"1.0\"?><program>");
            xml.append(m_lines.join(QString()).toUtf8());
            xml.append("</program>");
            m_ilScript.LoadFromBytes(xml);
            const int ti = m_root->Find(QStringLiteral("types"));
            if (ti >= 0) {
                auto *copy = new TfsXMLItem;
                copy->Assign(m_root->Items(ti));
                clearData(copy);
                m_ilScript.Root()->AddItem(copy);
            }
            ok = true;
        }
    } catch (const Error &e) {
        if (!m_error.set) {
            m_error.set = true;
            m_error.msg = e.message();
            m_error.pos = m_parser.GetXYPosition();
        }
        m_ilScript.Clear();
        ok = false;
    }
    m_lines.clear();
    if (m_program) {
        m_program->ErrorMsg = ok ? QString() : m_error.msg;
        m_program->ErrorPos = ok ? QString() : m_error.pos;
    }
    return ok;
}

// ---------------------------------------------------------------- the walk

namespace {
struct DepthGuard {
    explicit DepthGuard(int &d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    int &depth;
};
} // namespace

bool TfsILParser::walkChildren(TfsXMLItem *item)
{
    for (int i = 0; i < item->Count(); ++i)
        if (!walk(item->Items(i)))
            return false;
    return true;
}

bool TfsILParser::termMatches(const QString &token, const ItemInfo &info) const
{
    if (token.isEmpty())
        return false;
    if (info.text.isEmpty())
        return true;
    return m_parser.CaseSensitive() ? token == info.text
                                    : token.compare(info.text, Qt::CaseInsensitive) == 0;
}

bool TfsILParser::walk(TfsXMLItem *item)
{
    DepthGuard guard(m_depth);
    if (m_depth > kMaxDepth)
        throw Error(kTooDeep);
    const ItemInfo &info = *static_cast<const ItemInfo *>(item->Data());
    const int start = m_parser.Position();
    const int mark = int(m_lines.size());
    bool ok = false;
    bool post = false; // node, add and children of a matched terminal, sequence or reference
    QString token;

    switch (info.kind) {
    case Kind::Rule:
        ok = walkChildren(item);
        if (ok && !info.node.isEmpty())
            wrap(info.node, start, mark);
        break;
    case Kind::Char:
        if (!info.noSkip)
            m_parser.SkipSpaces();
        token = m_parser.GetChar();
        ok = termMatches(token, info);
        post = true;
        break;
    case Kind::Keyword:
        token = m_parser.GetWord();
        ok = termMatches(token, info);
        post = true;
        break;
    case Kind::Ident:
        token = m_parser.GetIdent();
        ok = termMatches(token, info);
        post = true;
        break;
    case Kind::Number:
        token = m_parser.GetNumber();
        ok = termMatches(token, info);
        post = true;
        break;
    case Kind::String:
        token = m_parser.GetString();
        ok = termMatches(token, info);
        post = true;
        break;
    case Kind::FRString:
        token = m_parser.GetFRString();
        ok = termMatches(token, info);
        if (ok)
            emitReference(token);
        post = true;
        break;
    case Kind::Eol:
        ok = m_parser.GetEOL();
        post = true;
        break;
    case Kind::Sequence:
        ok = true;
        post = true;
        break;
    case Kind::Switch:
    case Kind::OptionalSwitch:
        for (int i = 0; i < item->Count() && !ok; ++i)
            ok = walk(item->Items(i));
        if (!ok && info.kind == Kind::OptionalSwitch) {
            restore(start, mark);
            ok = true;
        }
        break;
    case Kind::Loop:
    case Kind::OptionalLoop:
        ok = walkLoop(item, info, start, mark);
        break;
    case Kind::Optional:
        ok = true;
        if (!walkChildren(item))
            restore(start, mark); // a partial match must not leave its output behind
        break;
    case Kind::Ref:
        if (!info.rule)
            throw EfsInvalidLanguage(fsmsg::SInvalidLanguage());
        ok = walk(info.rule);
        post = true;
        break;
    }

    if (ok && post) {
        if (!info.node.isEmpty())
            wrap(info.node, start, mark);
        if (!info.add.isEmpty())
            emitAdd(info.add, info.hasAddText ? info.addText : token);
        ok = walkChildren(item);
    }
    if (!ok) {
        if (!info.err.isEmpty() && !m_error.set)
            recordError(info, start);
        restore(start, mark);
    }
    return ok;
}

bool TfsILParser::walkLoop(TfsXMLItem *item, const ItemInfo &info, int start, int mark)
{
    const quint64 errorsBefore = m_errorSeq;
    const QChar separator = info.rawText.isEmpty() ? QChar() : info.rawText.at(0);
    int iterations = 0;
    int lastStop = start;
    bool lastComplete = false;
    while (true) {
        ++iterations;
        const int iterationStart = m_parser.Position();
        lastComplete = walkChildren(item);
        // A failed child has put the position back to where it began.
        lastStop = m_parser.Position();
        if (!lastComplete)
            break;
        if (!separator.isNull()) {
            m_parser.SkipSpaces();
            const QString c = m_parser.GetChar();
            if (c.isEmpty() || c.at(0) != separator) {
                m_parser.SetPosition(lastStop);
                break;
            }
        }
        if (m_parser.Position() == iterationStart)
            break;
    }
    if (iterations >= 2) {
        m_parser.SetPosition(lastStop);
        // Only an error made inside this loop may be forgiven here.
        if (m_error.set && m_error.seq > errorsBefore && (info.forgive || m_error.term))
            m_error = RecordedError();
        return true;
    }
    if (lastComplete)
        return true;
    if (info.kind == Kind::OptionalLoop) {
        restore(start, mark);
        return true;
    }
    return false;
}

void TfsILParser::restore(int start, int mark)
{
    m_parser.SetPosition(start);
    if (m_lines.size() > mark)
        m_lines.erase(m_lines.begin() + mark, m_lines.end());
}

QString TfsILParser::firstNonBlankPos(int start)
{
    const int here = m_parser.Position();
    m_parser.SetPosition(start);
    m_parser.SkipSpaces();
    const QString pos = m_parser.GetXYPosition();
    m_parser.SetPosition(here);
    return pos;
}

void TfsILParser::recordError(const ItemInfo &info, int start)
{
    m_error.set = true;
    m_error.msg.clear();
    if (m_errors) {
        const int i = m_errors->Find(info.err);
        if (i >= 0)
            m_error.msg = m_errors->Items(i)->Prop(QStringLiteral("text"));
    }
    if (m_error.msg.isEmpty())
        m_error.msg = fsmsg::SInvalidLanguage();
    m_error.pos = firstNonBlankPos(start);
    m_error.term = info.term;
    m_error.seq = ++m_errorSeq;
}

void TfsILParser::wrap(const QString &node, int start, int mark)
{
    if (node.compare(QLatin1String("uses"), Qt::CaseInsensitive) == 0) {
        includeUnits(mark);
        return;
    }
    const int end = m_parser.Position();
    QString tag = QLatin1Char('<') + node + attr(QStringLiteral("pos"), firstNonBlankPos(start));
    if (node.compare(QLatin1String("expr"), Qt::CaseInsensitive) == 0)
        tag += attr(QStringLiteral("pos1"), m_parser.XYPosition(end));
    tag += QLatin1Char('>');
    m_lines.insert(mark, tag);
    m_lines.append(QLatin1String("</") + node + QLatin1Char('>'));
}

void TfsILParser::emitAdd(const QString &name, const QString &text)
{
    m_lines.append(QLatin1Char('<') + name + attr(QStringLiteral("text"), text)
                   + attr(QStringLiteral("pos"), m_parser.GetXYPosition()) + QLatin1String("/>"));
}

void TfsILParser::emitReference(const QString &reference)
{
    // A reference reads as a call of Get with its text as the argument.
    const QString pos = attr(QStringLiteral("pos"), m_parser.GetXYPosition());
    m_lines.append(QLatin1String("<dsgn") + pos + QLatin1Char('>'));
    m_lines.append(QLatin1String("<node") + attr(QStringLiteral("text"), QStringLiteral("Get")) + pos
                   + QLatin1String("/>"));
    m_lines.append(QLatin1String("<expr") + pos + QLatin1Char('>'));
    m_lines.append(QLatin1String("<string")
                   + attr(QStringLiteral("text"), QLatin1Char('\'') + reference + QLatin1Char('\'')) + pos
                   + QLatin1String("/>"));
    m_lines.append(QStringLiteral("</expr>"));
    m_lines.append(QStringLiteral("</dsgn>"));
}

// ---------------------------------------------------------------- units

bool TfsILParser::loadUnitText(const QString &unit, QString &text)
{
    if (m_program && m_program->OnGetUnit) {
        m_program->OnGetUnit(m_program, unit, text);
        return true;
    }
    QString name = unit;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList dirs = m_program ? m_program->IncludePath : QStringList{QString()};
    for (QString dir : dirs) {
        dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        const QString path = dir + name;
        if (!QFileInfo(path).isFile())
            continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        text = codepage::decode(f.readAll());
        return true;
    }
    return false;
}

void TfsILParser::includeUnits(int mark)
{
    for (int i = int(m_lines.size()) - 1; i >= mark; --i) {
        if (!m_lines.at(i).startsWith(QLatin1String("<file ")))
            continue;
        TfsXMLItem tag;
        tag.SetText(m_lines.at(i).mid(5));
        const QString quoted = tag.Prop(QStringLiteral("text"));
        const QString unit = quoted.size() >= 2 ? quoted.mid(1, quoted.size() - 2) : quoted;
        const QString pos = tag.Prop(QStringLiteral("pos"));
        if (m_usesList->contains(unit, Qt::CaseInsensitive)) {
            m_lines.removeAt(i);
            continue;
        }
        m_usesList->append(unit);
        QString unitText;
        if (!loadUnitText(unit, unitText)) {
            if (!m_error.set) {
                m_error.set = true;
                m_error.msg = QStringLiteral("Unit '%1' not found").arg(unit);
                m_error.pos = pos;
                m_error.seq = ++m_errorSeq;
            }
            m_lines.removeAt(i);
            continue;
        }
        TfsILParser sub(m_program);
        sub.m_usesList = m_usesList;
        sub.m_unitName = unit;
        sub.m_depth = m_depth;
        sub.SelectLanguage(m_langName);
        if (sub.MakeILScript(unitText)) {
            m_lines[i] = QLatin1String("<uses") + attr(QStringLiteral("unit"), unit) + QLatin1Char('>')
                + QString::fromUtf8(fsXMLItemToBytes(sub.ILScript()->Root())) + QLatin1String("</uses>");
        } else {
            if (!m_error.set) {
                m_error.set = true;
                m_error.msg = sub.m_error.msg;
                m_error.pos = sub.m_error.pos;
                m_error.seq = ++m_errorSeq;
                if (m_program && m_program->ErrorUnit.isEmpty())
                    m_program->ErrorUnit = unit;
            }
            m_lines.removeAt(i);
        }
    }
}

} // namespace tw
