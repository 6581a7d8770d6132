#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <bitset>
#include <vector>

namespace tw {

// Characters 0..255 that may form identifiers; codes from 127 up always may.
using TfsIdentifierCharset = std::bitset<256>;

// The configurable lexer shared by every script language. Token readers never raise:
// a token that is not there reads as an empty string.
class TfsParser {
public:
    TfsParser();

    // Resets the settings to their defaults (CaseSensitive and CommentLine2 are kept).
    void Clear();

    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool on) { m_caseSensitive = on; }
    const QString &CommentLine1() const { return m_commentLine1; }
    void SetCommentLine1(const QString &s) { m_commentLine1 = s; }
    const QString &CommentLine2() const { return m_commentLine2; }
    void SetCommentLine2(const QString &s) { m_commentLine2 = s; }
    // Opener, a comma, closer.
    QString CommentBlock1() const;
    void SetCommentBlock1(const QString &s);
    QString CommentBlock2() const;
    void SetCommentBlock2(const QString &s);
    const QString &HexSequence() const { return m_hexSequence; }
    void SetHexSequence(const QString &s) { m_hexSequence = s; }
    TfsIdentifierCharset &IdentifierCharset() { return m_identChars; }
    const TfsIdentifierCharset &IdentifierCharset() const { return m_identChars; }
    // Sorted; compared ignoring case unless CaseSensitive.
    QStringList Keywords() const;
    void AddKeyword(const QString &word);
    void ClearKeywords();
    // Adds every word of a list made once with AddKeyword: the sets are shared, not rebuilt.
    void AddKeywords(const TfsParser &from);
    const QString &SkiPChar() const { return m_skipChar; }
    void SetSkiPChar(const QString &s) { m_skipChar = s; }
    bool SkipEOL() const { return m_skipEOL; }
    void SetSkipEOL(bool on) { m_skipEOL = on; }
    bool SkipSpace() const { return m_skipSpace; }
    void SetSkipSpace(bool on) { m_skipSpace = on; }
    const QString &StringQuotes() const { return m_stringQuotes; }
    void SetStringQuotes(const QString &s) { m_stringQuotes = s; }
    bool SpecStrChar() const { return m_specStrChar; }
    void SetSpecStrChar(bool on) { m_specStrChar = on; }
    bool UseY() const { return m_useY; }
    void SetUseY(bool on) { m_useY = on; }

    // The source without the end marker.
    QString Text() const { return m_text.left(m_len); }
    void SetText(const QString &text);
    int Position() const { return m_pos; }
    void SetPosition(int pos);
    int LastPosition() const { return m_lastPos; }
    int Length() const { return m_len; }

    void SkipSpaces();
    bool GetEOL();
    QString GetIdent();
    QString GetWord();
    QString GetChar();
    QString GetString();
    QString GetNumber();
    QString GetFRString();
    bool IsKeyWord(const QString &s) const;
    QString GetXYPosition() const { return XYPosition(m_pos); }
    // line:col of any 1-based position of the text.
    QString XYPosition(int pos) const;
    int GetPlainPosition(int x, int y) const;
    void ConstructCharset(const QString &s);

private:
    QChar at(int pos) const { return (pos >= 1 && pos <= m_len) ? m_text.at(pos - 1) : QChar(); }
    bool startsWithAt(int pos, const QString &s) const;
    bool isIdentStart(QChar c) const;
    bool isIdentChar(QChar c) const;
    // 16 for a hexadecimal integer, 10 for a decimal one, 0 for none.
    int readUnsigned();
    QString readWord();
    void buildLines();

    bool m_caseSensitive = false;
    QString m_commentLine1;
    QString m_commentLine2;
    QString m_block1Open, m_block1Close, m_block2Open, m_block2Close;
    QString m_hexSequence;
    TfsIdentifierCharset m_identChars;
    QSet<QString> m_keywords;      // as registered
    QSet<QString> m_keywordsLower; // lower-cased, for case-insensitive lookup
    QString m_skipChar;
    bool m_skipEOL = true;
    bool m_skipSpace = true;
    QString m_stringQuotes;
    bool m_specStrChar = false;
    bool m_useY = true;

    QString m_text; // the source plus a NUL end marker
    int m_len = 0;
    int m_pos = 1;
    int m_lastPos = 1;
    std::vector<int> m_lines; // [0] = 0, [k] = position of the k-th line feed
};

} // namespace tw
