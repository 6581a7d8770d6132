#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstring>

namespace tw {

// Raised for a component stream that ends early or holds an unexpected value.
TW_DECLARE_ERROR(EReadError, Error)

// Value tags of the component stream.
enum TfrxValueType : quint8 {
    vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaExtended = 5, vaString = 6,
    vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11, vaLString = 12, vaNil = 13,
    vaCollection = 14, vaSingle = 15, vaCurrency = 16, vaDate = 17, vaWString = 18, vaInt64 = 19,
    vaUTF8String = 20, vaDouble = 21,
};

// Writes named, type-tagged values into a byte buffer (integers little-endian).
class TfrxComponentWriter {
public:
    const QByteArray &Data() const { return m_data; }
    void Clear() { m_data.clear(); }

    void WriteName(const QString &name); // length byte and UTF-8
    void WriteValue(TfrxValueType type) { m_data.append(char(type)); }
    void WriteInteger(qint64 value);      // smallest of Int8, Int16, Int32, else Int64
    void WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }
    void WriteString(const QString &text);
    void WriteIdent(const QString &ident);
    void WriteFloat(double value);        // extended precision
    void WriteDouble(double value);
    void WriteSingle(float value);
    void WriteCurrency(double value);
    void WriteDate(double value);
    void WriteSet(const QStringList &idents);
    void WriteBinary(const QByteArray &bytes);
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    // Raw payload for binary values written piece by piece.
    void WriteRaw(const QByteArray &bytes) { m_data.append(bytes); }

private:
    void put(const void *p, int n) { m_data.append(static_cast<const char *>(p), n); }
    void putShort(const QByteArray &bytes);
    QByteArray m_data;
};

// Reads a component stream; every read raises EReadError on a short or mistyped value.
class TfrxComponentReader {
public:
    explicit TfrxComponentReader(QByteArray data = {}) : m_data(std::move(data)) {}
    void SetData(QByteArray data)
    {
        m_data = std::move(data);
        m_pos = 0;
    }
    bool AtEnd() const { return m_pos >= m_data.size(); }
    qsizetype Position() const { return m_pos; }

    TfrxValueType NextValue() const;
    TfrxValueType ReadValue();
    bool EndOfList() const { return NextValue() == vaNull; }
    void ReadListBegin();
    void ReadListEnd();

    QString ReadName();
    qint64 ReadInteger(); // any integer tag
    bool ReadBoolean();
    QString ReadString(); // String, LString, WString, UTF8String
    QString ReadIdent();  // Ident, and False/True/Nil/Null as their names
    double ReadFloat();   // any float or integer tag
    QStringList ReadSet();
    QByteArray ReadBinary();
    // Skips one value of any kind.
    void SkipValue();

private:
    const char *take(qsizetype n);
    template <class V>
    V get()
    {
        V v;
        std::memcpy(&v, take(sizeof(V)), sizeof(V));
        return v;
    }
    QString readShortBytes(bool utf8);
    QString readPayloadString(TfrxValueType type);
    QByteArray m_data;
    qsizetype m_pos = 0;
};

// Hexadecimal text of bytes (two upper-case digits each) and back; false on a bad digit.
QString BytesToHex(const QByteArray &bytes);
bool HexToBytes(const QString &hex, QByteArray &out);

// 80-bit extended precision conversions.
void DoubleToExtended(double value, unsigned char out[10]);
double ExtendedToDouble(const unsigned char in[10]);

} // namespace tw
