#include "script/lexer.h"

#include <algorithm>

namespace tw {

namespace {

bool isDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isPunctuation(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 33 && u <= 47) || (u >= 58 && u <= 64) || (u >= 91 && u <= 96)
        || (u >= 123 && u <= 126);
}

void splitPair(const QString &s, QString &open, QString &close)
{
    const qsizetype comma = s.indexOf(QLatin1Char(','));
    if (comma < 0) {
        open = s;
        close.clear();
    } else {
        open = s.left(comma);
        close = s.mid(comma + 1);
    }
}

QString charFromCode(quint64 code)
{
    if (code <= 0xFFFF)
        return QString(QChar(char16_t(code)));
    if (code <= 0x10FFFF) {
        const char32_t cp = char32_t(code);
        return QString::fromUcs4(&cp, 1);
    }
    return QString(QChar(QChar::ReplacementCharacter));
}

} // namespace

TfsParser::TfsParser() { Clear(); }

void TfsParser::Clear()
{
    m_commentLine1 = QStringLiteral("//");
    SetCommentBlock1(QStringLiteral("{,}"));
    SetCommentBlock2(QStringLiteral("(*,*)"));
    m_hexSequence = QStringLiteral("$");
    m_identChars.reset();
    for (char16_t c = '0'; c <= '9'; ++c)
        m_identChars.set(c);
    for (char16_t c = 'A'; c <= 'Z'; ++c)
        m_identChars.set(c);
    for (char16_t c = 'a'; c <= 'z'; ++c)
        m_identChars.set(c);
    m_identChars.set('_');
    ClearKeywords();
    m_skipChar.clear();
    m_skipEOL = true;
    m_skipSpace = true;
    m_stringQuotes = QStringLiteral("'");
    m_specStrChar = false;
}

QString TfsParser::CommentBlock1() const { return m_block1Open + QLatin1Char(',') + m_block1Close; }
void TfsParser::SetCommentBlock1(const QString &s) { splitPair(s, m_block1Open, m_block1Close); }
QString TfsParser::CommentBlock2() const { return m_block2Open + QLatin1Char(',') + m_block2Close; }
void TfsParser::SetCommentBlock2(const QString &s) { splitPair(s, m_block2Open, m_block2Close); }

QStringList TfsParser::Keywords() const
{
    QStringList list(m_keywords.begin(), m_keywords.end());
    std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return list;
}

void TfsParser::AddKeyword(const QString &word)
{
    m_keywords.insert(word);
    m_keywordsLower.insert(word.toLower());
}

void TfsParser::AddKeywords(const TfsParser &from)
{
    if (m_keywords.isEmpty()) {
        m_keywords = from.m_keywords;
        m_keywordsLower = from.m_keywordsLower;
        return;
    }
    m_keywords.unite(from.m_keywords);
    m_keywordsLower.unite(from.m_keywordsLower);
}

void TfsParser::ClearKeywords()
{
    m_keywords.clear();
    m_keywordsLower.clear();
}

bool TfsParser::IsKeyWord(const QString &s) const
{
    return m_caseSensitive ? m_keywords.contains(s) : m_keywordsLower.contains(s.toLower());
}

void TfsParser::SetText(const QString &text)
{
    m_text = text;
    m_text.append(QChar(0));
    m_len = int(text.size());
    m_pos = 1;
    m_lastPos = 1;
    if (m_useY)
        buildLines();
    else
        m_lines.clear();
}

void TfsParser::buildLines()
{
    m_lines.clear();
    m_lines.push_back(0);
    for (int i = 0; i < m_len; ++i)
        if (m_text.at(i) == QLatin1Char('\n'))
            m_lines.push_back(i + 1);
}

void TfsParser::SetPosition(int pos)
{
    m_pos = pos;
    m_lastPos = pos;
}

bool TfsParser::startsWithAt(int pos, const QString &s) const
{
    if (s.isEmpty() || pos < 1 || pos - 1 + s.size() > m_len)
        return false;
    return QStringView(m_text).mid(pos - 1, s.size()) == s;
}

void TfsParser::SkipSpaces()
{
    // A continuation character asks for the following line end to be eaten as well.
    bool pendingEol = false;
    while (true) {
        while (m_pos <= m_len) {
            const QChar c = at(m_pos);
            if (c.unicode() > 32)
                break;
            if (c == QLatin1Char('\r') && !m_skipEOL) {
                if (!pendingEol)
                    break;
                while (m_pos <= m_len && (at(m_pos) == QLatin1Char('\r') || at(m_pos) == QLatin1Char('\n')))
                    ++m_pos;
                pendingEol = false;
                continue;
            }
            ++m_pos;
        }
        if (!m_skipChar.isEmpty() && m_pos <= m_len && at(m_pos) == m_skipChar.at(0)) {
            ++m_pos;
            pendingEol = true;
            continue;
        }
        if (m_pos < m_len) {
            if (startsWithAt(m_pos, m_commentLine1) || startsWithAt(m_pos, m_commentLine2)) {
                // In line-oriented languages a trailing comment must leave the line end as a token.
                const bool atLineStart = m_pos == 1 || at(m_pos - 1) == QLatin1Char('\n');
                const bool stopAtCR = !m_skipEOL && !atLineStart;
                while (m_pos <= m_len && at(m_pos) != QLatin1Char('\n')
                       && !(stopAtCR && at(m_pos) == QLatin1Char('\r')))
                    ++m_pos;
                continue;
            }
            const QString *close = nullptr;
            if (startsWithAt(m_pos, m_block1Open)) {
                m_pos += int(m_block1Open.size());
                close = &m_block1Close;
            } else if (startsWithAt(m_pos, m_block2Open)) {
                m_pos += int(m_block2Open.size());
                close = &m_block2Close;
            }
            if (close) {
                while (m_pos <= m_len && !startsWithAt(m_pos, *close))
                    ++m_pos;
                if (m_pos <= m_len)
                    m_pos += int(close->size());
                continue;
            }
        }
        break;
    }
    m_lastPos = m_pos;
}

bool TfsParser::GetEOL()
{
    SkipSpaces();
    bool any = false;
    while (m_pos <= m_len && (at(m_pos) == QLatin1Char('\r') || at(m_pos) == QLatin1Char('\n'))) {
        ++m_pos;
        any = true;
    }
    return any;
}

bool TfsParser::isIdentStart(QChar c) const
{
    const char16_t u = c.unicode();
    return u >= 127 || (m_identChars.test(u) && !isDigit(c));
}

bool TfsParser::isIdentChar(QChar c) const
{
    const char16_t u = c.unicode();
    return u >= 127 || m_identChars.test(u);
}

QString TfsParser::readWord()
{
    if (m_skipSpace)
        SkipSpaces();
    m_lastPos = m_pos;
    if (m_pos > m_len || !isIdentStart(at(m_pos)))
        return QString();
    ++m_pos;
    while (m_pos <= m_len && isIdentChar(at(m_pos)))
        ++m_pos;
    return m_text.mid(m_lastPos - 1, m_pos - m_lastPos);
}

QString TfsParser::GetWord() { return readWord(); }

QString TfsParser::GetIdent()
{
    const QString word = readWord();
    if (!word.isEmpty() && IsKeyWord(word))
        return QString();
    return word;
}

QString TfsParser::GetChar()
{
    m_lastPos = m_pos;
    if (m_pos > m_len || !isPunctuation(at(m_pos)))
        return QString();
    return QString(at(m_pos++));
}

int TfsParser::readUnsigned()
{
    if (startsWithAt(m_pos, m_hexSequence) && isHexDigit(at(m_pos + int(m_hexSequence.size())))) {
        m_pos += int(m_hexSequence.size());
        while (m_pos <= m_len && isHexDigit(at(m_pos)))
            ++m_pos;
        return 16;
    }
    if (!isDigit(at(m_pos)))
        return 0;
    while (m_pos <= m_len && isDigit(at(m_pos)))
        ++m_pos;
    return 10;
}

QString TfsParser::GetNumber()
{
    if (m_skipSpace)
        SkipSpaces();
    m_lastPos = m_pos;
    const int start = m_pos;
    const int base = readUnsigned();
    if (base == 0)
        return QString();
    if (base == 10) {
        if (at(m_pos) == QLatin1Char('.') && isDigit(at(m_pos + 1))) {
            m_pos += 2;
            while (isDigit(at(m_pos)))
                ++m_pos;
        }
        if (at(m_pos) == QLatin1Char('e') || at(m_pos) == QLatin1Char('E')) {
            int p = m_pos + 1;
            if (at(p) == QLatin1Char('+') || at(p) == QLatin1Char('-'))
                ++p;
            if (isDigit(at(p))) {
                while (isDigit(at(p)))
                    ++p;
                m_pos = p;
            }
        }
    }
    QString token = m_text.mid(start - 1, m_pos - start);
    if (!m_hexSequence.isEmpty() && m_hexSequence != QLatin1String("$"))
        token.replace(m_hexSequence, QStringLiteral("$"));
    return token;
}

QString TfsParser::GetString()
{
    if (m_skipSpace)
        SkipSpaces();
    m_lastPos = m_pos;
    const QChar quote = m_stringQuotes.isEmpty() ? QChar() : m_stringQuotes.at(0);
    QString value;
    int pieces = 0;
    while (m_pos <= m_len) {
        const QChar c = at(m_pos);
        if (!quote.isNull() && c == quote) {
            const int pieceStart = m_pos;
            ++m_pos;
            QString piece;
            bool closed = false;
            while (true) {
                QChar d = at(m_pos);
                const char16_t u = d.unicode();
                if (m_pos > m_len || (u < 32 && u != 9))
                    break;
                if (d == quote) {
                    if (!m_specStrChar && at(m_pos + 1) == quote) {
                        piece += quote;
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    closed = true;
                    break;
                }
                if (m_specStrChar && d == QLatin1Char('\\')) {
                    const QChar e = at(m_pos + 1);
                    const char16_t eu = e.unicode();
                    if (m_pos + 1 > m_len || (eu < 32 && eu != 9)) {
                        ++m_pos;
                        continue; // reported as unterminated on the next round
                    }
                    const QChar lower = e.toLower();
                    if (lower == QLatin1Char('n')) {
                        piece += QLatin1Char('\n');
                        m_pos += 2;
                    } else if (lower == QLatin1Char('r')) {
                        piece += QLatin1Char('\r');
                        m_pos += 2;
                    } else if (lower == QLatin1Char('x') && isHexDigit(at(m_pos + 2))) {
                        int p = m_pos + 2;
                        quint64 code = 0;
                        while (isHexDigit(at(p))) {
                            if (code <= 0x10FFFF)
                                code = code * 16 + QString(at(p)).toUInt(nullptr, 16);
                            ++p;
                        }
                        piece += charFromCode(code);
                        m_pos = p;
                    } else {
                        piece += e;
                        m_pos += 2;
                    }
                    continue;
                }
                piece += d;
                ++m_pos;
            }
            if (!closed) {
                m_pos = pieceStart;
                break;
            }
            value += piece;
            ++pieces;
        } else if (c == QLatin1Char('#')) {
            const int pieceStart = m_pos;
            ++m_pos;
            const int digitsStart = m_pos;
            const int base = readUnsigned();
            const bool hex = base == 16;
            if (base == 0) {
                m_pos = pieceStart;
                break;
            }
            QStringView digits = QStringView(m_text).mid(digitsStart - 1, m_pos - digitsStart);
            if (hex)
                digits = digits.mid(m_hexSequence.size());
            quint64 code = 0;
            for (QChar d : digits) {
                if (code > 0x10FFFF)
                    break;
                code = code * (hex ? 16 : 10) + QString(d).toUInt(nullptr, 16);
            }
            value += charFromCode(code);
            ++pieces;
        } else {
            break;
        }
    }
    if (pieces == 0)
        return QString();
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

QString TfsParser::GetFRString()
{
    const int start = m_pos;
    m_lastPos = m_pos;
    int depth = 1;
    bool inDouble = false;
    bool inSingle = false;
    while (m_pos <= m_len) {
        const QChar c = at(m_pos);
        if (!inDouble && !inSingle) {
            if (c == QLatin1Char('<') || c == QLatin1Char('[')) {
                ++depth;
            } else if (c == QLatin1Char('>') || c == QLatin1Char(']')) {
                if (--depth == 0)
                    break;
            }
        }
        if (c == QLatin1Char('"') && !inSingle)
            inDouble = !inDouble;
        else if (c == QLatin1Char('\'') && !inDouble)
            inSingle = !inSingle;
        ++m_pos;
    }
    return m_text.mid(start - 1, m_pos - start);
}

QString TfsParser::XYPosition(int pos) const
{
    int line;
    int col;
    if (m_useY && !m_lines.empty()) {
        const auto it = std::lower_bound(m_lines.begin() + 1, m_lines.end(), pos);
        const int before = int(it - (m_lines.begin() + 1));
        line = before + 1;
        col = pos - m_lines[before];
    } else {
        line = 1;
        int lineStart = 1;
        for (int i = 1; i < pos && i <= m_len; ++i)
            if (at(i) == QLatin1Char('\n')) {
                ++line;
                lineStart = i + 1;
            }
        col = pos - lineStart + 1;
    }
    return QString::number(line) + QLatin1Char(':') + QString::number(col);
}

int TfsParser::GetPlainPosition(int x, int y) const
{
    if (y < 1 || y > int(m_lines.size()))
        return -1;
    return m_lines[y - 1] + x;
}

void TfsParser::ConstructCharset(const QString &s)
{
    m_identChars.reset();
    for (QChar c : s)
        m_identChars.set(c.unicode() & 0xFF);
}

} // namespace tw
