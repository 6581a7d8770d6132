#pragma once

#include "base/error.h"
#include "base/object.h"

#include <QString>
#include <QVector>
#include <cstdint>
#include <memory>

namespace tw {

struct FormatSettings;

// Arithmetic errors of variant operations, named as scripts see them.
TW_DECLARE_ERROR(EDivByZero, Error)   // integer div/mod by zero: "Division by zero"
TW_DECLARE_ERROR(EZeroDivide, Error)  // "/" by zero: "Floating point division by zero"
TW_DECLARE_ERROR(EInvalidOp, Error)   // 0 / 0: "Invalid floating point operation"

// The value type shared by the database layer, the report engine and the script.
// Dates are Doubles counting days since 1899-12-30.
class Variant {
public:
    enum class Kind { Empty, Null, Boolean, Int32, Int64, Double, String, Object, Array };

    // Delphi VarType codes.
    enum VarTypeCode {
        varEmpty = 0, varNull = 1, varSmallint = 2, varInteger = 3, varSingle = 4,
        varDouble = 5, varCurrency = 6, varDate = 7, varOleStr = 8, varDispatch = 9,
        varError = 10, varBoolean = 11, varVariant = 12, varUnknown = 13, varShortInt = 16,
        varByte = 17, varWord = 18, varLongWord = 19, varInt64 = 20, varString = 256,
        varUString = 258, varArray = 0x2000
    };

    struct Bound { int low = 0; int high = -1; };

    Variant() = default; // Empty
    Variant(bool v);
    Variant(int v);
    Variant(qint64 v);
    Variant(double v);
    Variant(const QString &v);
    Variant(const char *utf8);
    Variant(QChar c);
    Variant(char16_t c);      // a one-character String, like QChar (not a number)
    Variant(long v);          // int64_t and qsizetype on this platform
    Variant(unsigned int v);
    Variant(unsigned long v); // above the Int64 range becomes a Double
    Variant(unsigned long long v);
    Variant(Object *o);       // object reference, as fromObject
    Variant(const void *) = delete; // other pointers would silently become Booleans
    static Variant null();
    static Variant fromObject(Object *o); // nullptr gives an object reference equal to nil
    // A variant array with the given bounds per dimension; elements start Empty.
    static Variant array(const QVector<Bound> &bounds);
    // A one-dimensional array 0..n-1 holding the values.
    static Variant arrayOf(const QVector<Variant> &values);

    Kind kind() const { return m_kind; }
    int varType() const;
    // The kind's name in conversion messages: "Integer", "String", "Array Variant" ...
    QString typeName() const;
    static QString kindName(Kind kind);
    bool isEmpty() const { return m_kind == Kind::Empty; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isEmptyOrNull() const { return m_kind == Kind::Empty || m_kind == Kind::Null; }
    bool isString() const { return m_kind == Kind::String; }
    bool isNumeric() const; // Int32, Int64, Double
    bool isOrdinal() const; // Boolean, Int32, Int64
    bool isArray() const { return m_kind == Kind::Array; }
    bool isObject() const { return m_kind == Kind::Object; }
    // The value of an Int32 variant without conversion; only after checking kind().
    int int32Value() const { return int(m_v.i); }

    // Conversions follow Delphi: they raise EVariantError when the value has no such form
    // (Null to a number, "abc" to a number). Texts are read and written with the given
    // settings, or the process-wide ones (FormatSettings::current()) when none are given.
    bool toBool() const;
    int toInt() const;
    qint64 toInt64() const;
    double toDouble() const;
    QString toString() const;
    QString toString(const FormatSettings &fs) const;
    Object *toObject() const; // nullptr for nil, integer 0, Empty and Null
    // Text without raising: Null, Empty and arrays give "" (VarToStr).
    QString toText() const;

    // Arrays (raise EVariantError when not an array or out of bounds).
    int dimCount() const;
    Bound bound(int dim) const; // dim counts from 1
    Variant &at(const QVector<int> &indexes);       // detaches a shared array
    const Variant &at(const QVector<int> &indexes) const;
    int elementCount() const;                       // elements of all dimensions
    const QVector<Variant> &elements() const;       // row-major storage
    void redim(int newHigh);                        // last dimension, keeps content

    // Exact identity of kind and value (not the Delphi '='), for containers and tests.
    bool sameAs(const Variant &other) const;

    // Debug form such as Int32(5) or String("a").
    QString debugText() const;

private:
    struct ArrayData {
        QVector<Bound> bounds;
        QVector<Variant> items;
    };
    Kind m_kind = Kind::Empty;
    union {
        bool b;
        qint64 i;
        double d;
        Object *o;
    } m_v{};
    QString m_s;
    std::shared_ptr<ArrayData> m_a;
    int flatIndex(const QVector<int> &indexes) const;
    void detach();
};

// Delphi variant operations. Rules where the language leaves a choice are documented in
// variant.cpp and docs: Null propagates through arithmetic; Empty counts as 0 or "".
namespace var {
Variant add(const Variant &a, const Variant &b);     // strings concatenate
Variant sub(const Variant &a, const Variant &b);
Variant mul(const Variant &a, const Variant &b);
Variant divide(const Variant &a, const Variant &b);  // "/" always floating
Variant intDiv(const Variant &a, const Variant &b);  // div
Variant mod(const Variant &a, const Variant &b);
Variant shl(const Variant &a, const Variant &b);
Variant shr(const Variant &a, const Variant &b);
Variant logicalAnd(const Variant &a, const Variant &b); // bitwise on integers
Variant logicalOr(const Variant &a, const Variant &b);
Variant logicalXor(const Variant &a, const Variant &b);
Variant logicalNot(const Variant &a);
Variant negate(const Variant &a);

enum class Order { Less, Equal, Greater, Unordered };
Order compare(const Variant &a, const Variant &b);
bool equals(const Variant &a, const Variant &b);      // '='
bool less(const Variant &a, const Variant &b);
bool lessOrEqual(const Variant &a, const Variant &b);
bool greater(const Variant &a, const Variant &b);
bool greaterOrEqual(const Variant &a, const Variant &b);
} // namespace var

} // namespace tw
