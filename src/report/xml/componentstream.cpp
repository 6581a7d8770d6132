#include "report/xml/componentstream.h"

#include "base/codepage.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace tw {

namespace {
[[noreturn]] void readError()
{
    throw EReadError(QStringLiteral("Error reading stream"));
}
} // namespace

// ---------------------------------------------------------------------------------------

void TfrxComponentWriter::putShort(const QByteArray &bytes)
{
    const int n = int(qMin<qsizetype>(bytes.size(), 255));
    m_data.append(char(n));
    m_data.append(bytes.constData(), n);
}

void TfrxComponentWriter::WriteName(const QString &name)
{
    putShort(name.toUtf8());
}

void TfrxComponentWriter::WriteInteger(qint64 value)
{
    if (value >= -128 && value <= 127) {
        WriteValue(vaInt8);
        const qint8 v = qint8(value);
        put(&v, 1);
    } else if (value >= -32768 && value <= 32767) {
        WriteValue(vaInt16);
        const qint16 v = qToLittleEndian(qint16(value));
        put(&v, 2);
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        WriteValue(vaInt32);
        const qint32 v = qToLittleEndian(qint32(value));
        put(&v, 4);
    } else {
        WriteValue(vaInt64);
        const qint64 v = qToLittleEndian(value);
        put(&v, 8);
    }
}

void TfrxComponentWriter::WriteString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() < 2 * text.size()) {
        bool high = false;
        for (char c : utf8)
            if (static_cast<unsigned char>(c) >= 128) {
                high = true;
                break;
            }
        if (high) {
            WriteValue(vaUTF8String);
            const qint32 n = qToLittleEndian(qint32(utf8.size()));
            put(&n, 4);
            m_data.append(utf8);
        } else if (utf8.size() > 255) {
            WriteValue(vaLString);
            const qint32 n = qToLittleEndian(qint32(utf8.size()));
            put(&n, 4);
            m_data.append(utf8);
        } else {
            WriteValue(vaString);
            putShort(utf8);
        }
        return;
    }
    WriteValue(vaWString);
    const qint32 n = qToLittleEndian(qint32(text.size()));
    put(&n, 4);
    for (QChar c : text) {
        const quint16 u = qToLittleEndian(c.unicode());
        put(&u, 2);
    }
}

void TfrxComponentWriter::WriteIdent(const QString &ident)
{
    WriteValue(vaIdent);
    putShort(ident.toUtf8());
}

void TfrxComponentWriter::WriteFloat(double value)
{
    WriteValue(vaExtended);
    unsigned char ext[10];
    DoubleToExtended(value, ext);
    put(ext, 10);
}

void TfrxComponentWriter::WriteDouble(double value)
{
    WriteValue(vaDouble);
    put(&value, 8);
}

void TfrxComponentWriter::WriteSingle(float value)
{
    WriteValue(vaSingle);
    put(&value, 4);
}

void TfrxComponentWriter::WriteCurrency(double value)
{
    WriteValue(vaCurrency);
    const qint64 v = qToLittleEndian(qint64(std::llround(value * 10000.0)));
    put(&v, 8);
}

void TfrxComponentWriter::WriteDate(double value)
{
    WriteValue(vaDate);
    put(&value, 8);
}

void TfrxComponentWriter::WriteSet(const QStringList &idents)
{
    WriteValue(vaSet);
    for (const QString &id : idents)
        putShort(id.toUtf8());
    m_data.append(char(0));
}

void TfrxComponentWriter::WriteBinary(const QByteArray &bytes)
{
    WriteValue(vaBinary);
    const qint32 n = qToLittleEndian(qint32(bytes.size()));
    put(&n, 4);
    m_data.append(bytes);
}

// ---------------------------------------------------------------------------------------

const char *TfrxComponentReader::take(qsizetype n)
{
    if (n < 0 || n > m_data.size() - m_pos)
        readError();
    const char *p = m_data.constData() + m_pos;
    m_pos += n;
    return p;
}

TfrxValueType TfrxComponentReader::NextValue() const
{
    if (m_pos >= m_data.size())
        readError();
    return TfrxValueType(quint8(m_data[m_pos]));
}

TfrxValueType TfrxComponentReader::ReadValue()
{
    const auto t = TfrxValueType(quint8(*take(1)));
    if (t > vaDouble)
        readError();
    return t;
}

void TfrxComponentReader::ReadListBegin()
{
    if (ReadValue() != vaList)
        readError();
}

void TfrxComponentReader::ReadListEnd()
{
    if (ReadValue() != vaNull)
        readError();
}

QString TfrxComponentReader::readShortBytes(bool utf8)
{
    const int n = quint8(*take(1));
    const char *p = take(n);
    return utf8 ? QString::fromUtf8(p, n) : codepage::fromAnsi(QByteArray(p, n));
}

QString TfrxComponentReader::ReadName()
{
    const QString name = readShortBytes(true);
    if (name.isEmpty())
        readError();
    return name;
}

qint64 TfrxComponentReader::ReadInteger()
{
    switch (ReadValue()) {
    case vaInt8: return qint8(*take(1));
    case vaInt16: return qFromLittleEndian(get<qint16>());
    case vaInt32: return qFromLittleEndian(get<qint32>());
    case vaInt64: return qFromLittleEndian(get<qint64>());
    default: readError();
    }
}

bool TfrxComponentReader::ReadBoolean()
{
    switch (ReadValue()) {
    case vaTrue: return true;
    case vaFalse: return false;
    default: readError();
    }
}

QString TfrxComponentReader::readPayloadString(TfrxValueType type)
{
    switch (type) {
    case vaString: return readShortBytes(false);
    case vaLString: {
        const qint32 n = qFromLittleEndian(get<qint32>());
        return codepage::fromAnsi(QByteArray(take(n), n));
    }
    case vaUTF8String: {
        const qint32 n = qFromLittleEndian(get<qint32>());
        return QString::fromUtf8(take(n), n);
    }
    case vaWString: {
        const qint32 n = qFromLittleEndian(get<qint32>());
        if (n < 0 || n > (m_data.size() - m_pos) / 2)
            readError();
        const char *p = take(qsizetype(n) * 2);
        QString s(n, Qt::Uninitialized);
        for (int i = 0; i < n; ++i) {
            quint16 u;
            std::memcpy(&u, p + 2 * i, 2);
            s[i] = QChar(qFromLittleEndian(u));
        }
        return s;
    }
    default: readError();
    }
}

QString TfrxComponentReader::ReadString()
{
    return readPayloadString(ReadValue());
}

QString TfrxComponentReader::ReadIdent()
{
    switch (ReadValue()) {
    case vaIdent: return readShortBytes(true);
    case vaFalse: return QStringLiteral("False");
    case vaTrue: return QStringLiteral("True");
    case vaNil: return QStringLiteral("nil");
    case vaNull: return QStringLiteral("Null");
    default: readError();
    }
}

double TfrxComponentReader::ReadFloat()
{
    const TfrxValueType t = NextValue();
    switch (t) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64: return double(ReadInteger());
    default: break;
    }
    ReadValue();
    switch (t) {
    case vaExtended: {
        unsigned char ext[10];
        std::memcpy(ext, take(10), 10);
        return ExtendedToDouble(ext);
    }
    case vaDouble:
    case vaDate: return get<double>();
    case vaSingle: return get<float>();
    case vaCurrency: return double(qFromLittleEndian(get<qint64>())) / 10000.0;
    default: readError();
    }
}

QStringList TfrxComponentReader::ReadSet()
{
    if (ReadValue() != vaSet)
        readError();
    QStringList r;
    for (;;) {
        const QString id = readShortBytes(true);
        if (id.isEmpty())
            return r;
        r << id;
    }
}

QByteArray TfrxComponentReader::ReadBinary()
{
    if (ReadValue() != vaBinary)
        readError();
    const qint32 n = qFromLittleEndian(get<qint32>());
    return QByteArray(take(n), n);
}

void TfrxComponentReader::SkipValue()
{
    // Iterative over nested lists, so a hostile stream cannot recurse deeply.
    int depth = 0;
    do {
        const TfrxValueType t = ReadValue();
        switch (t) {
        case vaNull:
            if (depth == 0)
                return;
            --depth;
            break;
        case vaList: ++depth; break;
        case vaInt8: take(1); break;
        case vaInt16: take(2); break;
        case vaInt32:
        case vaSingle: take(4); break;
        case vaInt64:
        case vaDouble:
        case vaDate:
        case vaCurrency: take(8); break;
        case vaExtended: take(10); break;
        case vaString:
        case vaIdent: take(quint8(*take(1))); break;
        case vaFalse:
        case vaTrue:
        case vaNil: break;
        case vaBinary:
        case vaLString:
        case vaUTF8String: take(qFromLittleEndian(get<qint32>())); break;
        case vaWString: take(qsizetype(qFromLittleEndian(get<qint32>())) * 2); break;
        case vaSet:
            while (int n = quint8(*take(1)))
                take(n);
            break;
        case vaCollection:
            // Items: an optional order integer, then a list of name/value entries.
            ++depth;
            while (NextValue() != vaNull) {
                if (NextValue() != vaList) {
                    const qsizetype at = m_pos;
                    ReadInteger();
                    (void)at;
                }
                ReadListBegin();
                while (NextValue() != vaNull) {
                    ReadName();
                    SkipValue();
                }
                ReadListEnd();
            }
            break;
        }
    } while (depth > 0);
}

// ---------------------------------------------------------------------------------------

QString BytesToHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

bool HexToBytes(const QString &hex, QByteArray &out)
{
    out.clear();
    out.reserve(hex.size() / 2);
    auto digit = [](char16_t c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = digit(hex[i].unicode());
        const int lo = digit(hex[i + 1].unicode());
        if (hi < 0 || lo < 0)
            return false;
        out.append(char(hi * 16 + lo));
    }
    return true;
}

void DoubleToExtended(double value, unsigned char out[10])
{
    std::memset(out, 0, 10);
    quint16 signExp = std::signbit(value) ? 0x8000 : 0;
    quint64 mantissa = 0;
    if (std::isnan(value)) {
        signExp |= 0x7FFF;
        mantissa = 0xC000000000000000ULL;
    } else if (std::isinf(value)) {
        signExp |= 0x7FFF;
        mantissa = 0x8000000000000000ULL;
    } else if (value != 0) {
        int exp = 0;
        const double frac = std::frexp(std::fabs(value), &exp); // [0.5, 1)
        mantissa = quint64(std::ldexp(frac, 64));
        signExp |= quint16(exp - 1 + 16383);
    }
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(mantissa >> (8 * i));
    out[8] = static_cast<unsigned char>(signExp & 0xFF);
    out[9] = static_cast<unsigned char>(signExp >> 8);
}

double ExtendedToDouble(const unsigned char in[10])
{
    quint64 mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= quint64(in[i]) << (8 * i);
    const quint16 signExp = quint16(in[8] | (in[9] << 8));
    const bool neg = signExp & 0x8000;
    const int exp = signExp & 0x7FFF;
    double v;
    if (exp == 0x7FFF)
        v = (mantissa << 1) ? std::nan("") : HUGE_VAL;
    else if (exp == 0 && mantissa == 0)
        v = 0;
    else
        v = std::ldexp(double(mantissa), exp - 16383 - 63);
    return neg ? -v : v;
}

} // namespace tw
