#pragma once

#include "base/error.h"
#include "script/lexer.h"
#include "script/grammardocument.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

namespace tw {

// A grammar that refers to a rule it does not define.
TW_DECLARE_ERROR(EfsInvalidLanguage, Error)

// What the grammar walker needs of the script object it compiles for: the error fields it
// fills, the identifier option and where units come from.
class ScriptCompileTarget {
public:
    virtual ~ScriptCompileTarget() = default;

    QString ErrorMsg;
    QString ErrorPos;  // line:col
    QString ErrorUnit; // empty for the main text
    bool ExtendedCharset = false;
    // Directories searched for units; an empty entry is the current directory.
    QStringList IncludePath{QString()};
    // Supplies a unit's source instead of the file search when assigned.
    std::function<void(ScriptCompileTarget *sender, const QString &unitName, QString &unitText)> OnGetUnit;
};

// Walks the rules of a language's grammar over a source text and writes the
// intermediate program.
class TfsILParser {
public:
    explicit TfsILParser(ScriptCompileTarget *program);
    ~TfsILParser();
    TfsILParser(const TfsILParser &) = delete;
    TfsILParser &operator=(const TfsILParser &) = delete;

    // EfsLanguageNotFound for an unknown name.
    void SelectLanguage(const QString &langName);
    // True when the text matched the grammar without a recorded error. Sets the target's
    // ErrorMsg and ErrorPos (both empty on success). Lines are separated by CR LF.
    bool MakeILScript(const QString &text);

    TfsXMLDocument *ILScript() { return &m_ilScript; }
    // The selected language's grammar (shared between parsers; read only). Null before
    // SelectLanguage.
    const TfsXMLDocument *Grammar() const;
    TfsParser *Parser() { return &m_parser; }
    ScriptCompileTarget *Program() const { return m_program; }
    const QString &LangName() const { return m_langName; }
    const QString &UnitName() const { return m_unitName; }
    bool NeedDeclareVars() const { return m_needDeclareVars; }

private:
    enum class Kind {
        Rule, Char, Keyword, Ident, Number, String, FRString, Eol,
        Sequence, Switch, OptionalSwitch, Loop, OptionalLoop, Optional, Ref,
    };
    // Everything the walk needs of a grammar element, read once when the language is selected.
    struct ItemInfo {
        Kind kind = Kind::Ref;
        QString text;      // lower-cased `text`
        QString rawText;   // `text` as written (loop separators)
        QString node;
        QString add;
        QString addText;
        bool hasAddText = false;
        QString err;
        bool term = false;
        bool noSkip = false; // skip="0"
        bool forgive = false; // skip="1"
        QString refName;
        TfsXMLItem *rule = nullptr;
    };
    struct RecordedError {
        bool set = false;
        QString msg;
        QString pos;
        bool term = false;
        quint64 seq = 0;
    };

    struct PreparedGrammar;
    static std::shared_ptr<const PreparedGrammar> prepared(const QString &grammarText);
    static void prepareItem(PreparedGrammar &g, TfsXMLItem *item, bool isRule);
    TfsXMLItem *findRule(const QString &name) const;

    bool walk(TfsXMLItem *item);
    bool walkChildren(TfsXMLItem *item);
    bool walkLoop(TfsXMLItem *item, const ItemInfo &info, int start, int mark);
    bool termMatches(const QString &token, const ItemInfo &info) const;
    void recordError(const ItemInfo &info, int start);
    void restore(int start, int mark);
    void wrap(const QString &node, int start, int mark);
    void emitAdd(const QString &name, const QString &text);
    void emitReference(const QString &reference);
    void includeUnits(int mark);
    bool loadUnitText(const QString &unit, QString &text);
    QString firstNonBlankPos(int start);

    ScriptCompileTarget *m_program;
    std::shared_ptr<const PreparedGrammar> m_grammar;
    TfsXMLItem *m_root = nullptr;
    TfsXMLItem *m_errors = nullptr;
    TfsXMLDocument m_ilScript;
    TfsParser m_parser;
    QString m_langName;
    QString m_unitName;
    std::shared_ptr<QStringList> m_usesList;
    bool m_needDeclareVars = true;

    QStringList m_lines;
    RecordedError m_error;
    quint64 m_errorSeq = 0;
    int m_depth = 0;
};

} // namespace tw
