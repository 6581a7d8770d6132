// Variant rules (docs/variant.md keeps the same list for readers outside the code).
//
// Kinds and codes: Empty 0, Null 1, Boolean 11, Int32 3 (varInteger), Int64 20, Double 5,
// String 256 (varString, the code scripts can compare with), object reference 20 (the
// handle is a 64-bit integer here), array 0x2000 | 12 (array of variants).
//
// Conversions
// - Empty is 0, "" and False. Null has no number, text or Boolean form: converting it
//   raises "Could not convert variant of type (Null) into type (...)"; toText gives "".
// - True is -1 as a number and "True" as text; a number is True when it is not 0.
// - Text to Boolean: "True" / "False" in any case, else a number (not 0 is True).
// - Text to a number uses the current FormatSettings: an integer (decimal or $hex), else a
//   floating value (the settings' decimal separator or "."), else "True"/"False" as -1/0;
//   anything else raises EVariantError "Could not convert variant of type (String) into
//   type (Double)" (or Integer, Int64, Boolean).
// - Double to an integer rounds half to even (2.5 -> 2, 3.5 -> 4) like Round; a value
//   outside the target range raises "Variant overflow", as does an Int64 that does not fit
//   an Int32.
// - Doubles become text by FloatToStr (15 significant digits).
// - An object reference is nil when its pointer is null; nil equals the integer 0 and
//   Empty. As a number it is its pointer value; integers other than 0 never become objects.
//
// Arithmetic (+ - * / div mod shl shr and or xor not, unary minus)
// - Null in any operand gives Null. An array operand raises "Invalid variant operation".
// - "+" of two strings concatenates; a string with Empty is concatenation with "".
//   In every other case a string operand is converted to a number as above.
// - Boolean operands count as -1/0 in arithmetic. and/or/xor/not on two Booleans (or a
//   Boolean and a Boolean-like string or Empty) are logical and give a Boolean.
// - Int32 with Int32 gives Int32 and moves to Int64 when the result does not fit; Int64
//   moves to Double when its result overflows. Any Double operand gives a Double.
// - "/" always gives a Double; by zero it raises EZeroDivide "Floating point division by
//   zero" (0 / 0 raises EInvalidOp "Invalid floating point operation").
// - div, mod, shl, shr and the bitwise and/or/xor/not work on integers: Doubles are rounded
//   as above, strings converted; the result is Int32 when both operands are Int32-sized,
//   else Int64. div and mod by zero raise EDivByZero "Division by zero"; mod has the sign
//   of the dividend. Shift counts are taken modulo 32 (Int32) or 64 (Int64); shr shifts
//   in zeros.
//
// Comparisons
// - Null equals only Null and sorts before every other value (Null < Empty < ...).
// - Two strings compare case-sensitively by UTF-16 code units (ordinal, independent of
//   the locale). A string against a number is converted to a number (raising when it has
//   no numeric form); against a Boolean, to a Boolean; against Empty, Empty is "".
// - False < True when both are Booleans; a Boolean against a number counts as -1/0.
// - Numbers compare by value across Int32, Int64 and Double; a NaN is unordered (every
//   comparison false). Arrays cannot be compared ("Invalid variant operation").

#include "base/variant.h"

#include "base/formatsettings.h"
#include "base/numberformat.h"

#include <cmath>
#include <limits>

namespace tw {

namespace {

[[noreturn]] void castError(const Variant &v, const char *target)
{
    throw EVariantError(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                            .arg(v.typeName(), QLatin1StringView(target)));
}

[[noreturn]] void invalidOp()
{
    throw EVariantError(QStringLiteral("Invalid variant operation"));
}

[[noreturn]] void overflow()
{
    throw EVariantError(QStringLiteral("Variant overflow"));
}

[[noreturn]] void notArray()
{
    throw EVariantError(QStringLiteral("Variant is not an array"));
}

[[noreturn]] void badIndex()
{
    throw EVariantError(QStringLiteral("Variant or safe array index out of bounds"));
}

[[noreturn]] void createError()
{
    throw EVariantError(QStringLiteral("Error creating variant or safe array"));
}

// Beyond this many elements an array is refused instead of exhausting memory.
constexpr qint64 kMaxArrayElements = qint64(1) << 24;

bool fitsInt32(qint64 v)
{
    return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}

// Round half to even; false when the result has no Int64 form.
bool roundToInt64(double d, qint64 &out)
{
    if (!std::isfinite(d))
        return false;
    const double r = std::nearbyint(d);
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0)
        return false;
    out = qint64(r);
    return true;
}

bool boolText(const QString &s, bool &out)
{
    const QString t = s.trimmed();
    if (t.compare(QLatin1StringView("True"), Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (t.compare(QLatin1StringView("False"), Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    return false;
}

// Text as an integer: integer text, else a rounded floating value, else True/False.
bool textToInt64(const QString &s, qint64 &out)
{
    if (tryStrToInt64(s, out))
        return true;
    double d = 0;
    if (tryStrToFloat(s, FormatSettings::current(), d))
        return roundToInt64(d, out);
    bool b = false;
    if (boolText(s, b)) {
        out = b ? -1 : 0;
        return true;
    }
    return false;
}

bool textToDouble(const QString &s, double &out)
{
    if (tryStrToFloat(s, FormatSettings::current(), out))
        return true;
    qint64 i = 0;
    if (tryStrToInt64(s, i)) { // $hex
        out = double(i);
        return true;
    }
    bool b = false;
    if (boolText(s, b)) {
        out = b ? -1.0 : 0.0;
        return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Construction and kinds

Variant::Variant(bool v) : m_kind(Kind::Boolean) { m_v.b = v; }
Variant::Variant(int v) : m_kind(Kind::Int32) { m_v.i = v; }
Variant::Variant(qint64 v) : m_kind(Kind::Int64) { m_v.i = v; }
Variant::Variant(long v) : m_kind(Kind::Int64) { m_v.i = qint64(v); }
Variant::Variant(unsigned int v) : m_kind(fitsInt32(qint64(v)) ? Kind::Int32 : Kind::Int64) { m_v.i = qint64(v); }
Variant::Variant(unsigned long v) : Variant(static_cast<unsigned long long>(v)) {}
Variant::Variant(unsigned long long v)
{
    if (v <= quint64(std::numeric_limits<qint64>::max())) {
        m_kind = Kind::Int64;
        m_v.i = qint64(v);
    } else {
        m_kind = Kind::Double;
        m_v.d = double(v);
    }
}
Variant::Variant(double v) : m_kind(Kind::Double) { m_v.d = v; }
Variant::Variant(const QString &v) : m_kind(Kind::String), m_s(v) {}
Variant::Variant(const char *utf8) : m_kind(Kind::String), m_s(QString::fromUtf8(utf8)) {}
Variant::Variant(QChar c) : m_kind(Kind::String), m_s(c) {}
Variant::Variant(char16_t c) : m_kind(Kind::String), m_s(QChar(c)) {}
Variant::Variant(Object *o) : m_kind(Kind::Object) { m_v.o = o; }

Variant Variant::null()
{
    Variant v;
    v.m_kind = Kind::Null;
    return v;
}

Variant Variant::fromObject(Object *o)
{
    return Variant(o);
}

Variant Variant::array(const QVector<Bound> &bounds)
{
    if (bounds.isEmpty())
        createError();
    qint64 total = 1;
    for (const Bound &b : bounds) {
        const qint64 len = qint64(b.high) - qint64(b.low) + 1;
        if (len < 0)
            createError();
        total *= len;
        if (total > kMaxArrayElements)
            createError();
    }
    Variant v;
    v.m_kind = Kind::Array;
    v.m_a = std::make_shared<ArrayData>();
    v.m_a->bounds = bounds;
    v.m_a->items.resize(total);
    return v;
}

Variant Variant::arrayOf(const QVector<Variant> &values)
{
    if (values.size() > kMaxArrayElements)
        createError();
    Variant v;
    v.m_kind = Kind::Array;
    v.m_a = std::make_shared<ArrayData>();
    v.m_a->bounds = {Bound{0, int(values.size()) - 1}};
    v.m_a->items = values;
    return v;
}

int Variant::varType() const
{
    switch (m_kind) {
    case Kind::Empty: return varEmpty;
    case Kind::Null: return varNull;
    case Kind::Boolean: return varBoolean;
    case Kind::Int32: return varInteger;
    case Kind::Int64: return varInt64;
    case Kind::Double: return varDouble;
    case Kind::String: return varString;
    case Kind::Object: return varInt64;
    case Kind::Array: return varArray | varVariant;
    }
    return varEmpty;
}

QString Variant::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Empty: return QStringLiteral("Empty");
    case Kind::Null: return QStringLiteral("Null");
    case Kind::Boolean: return QStringLiteral("Boolean");
    case Kind::Int32: return QStringLiteral("Integer");
    case Kind::Int64: return QStringLiteral("Int64");
    case Kind::Double: return QStringLiteral("Double");
    case Kind::String: return QStringLiteral("String");
    case Kind::Object: return QStringLiteral("Object");
    case Kind::Array: return QStringLiteral("Array Variant");
    }
    return QString();
}

QString Variant::typeName() const
{
    return kindName(m_kind);
}

bool Variant::isNumeric() const
{
    return m_kind == Kind::Int32 || m_kind == Kind::Int64 || m_kind == Kind::Double;
}

bool Variant::isOrdinal() const
{
    return m_kind == Kind::Boolean || m_kind == Kind::Int32 || m_kind == Kind::Int64;
}

// ---------------------------------------------------------------------------------------
// Conversions

bool Variant::toBool() const
{
    switch (m_kind) {
    case Kind::Empty: return false;
    case Kind::Boolean: return m_v.b;
    case Kind::Int32:
    case Kind::Int64: return m_v.i != 0;
    case Kind::Double: return m_v.d != 0;
    case Kind::Object: return m_v.o != nullptr;
    case Kind::String: {
        bool b = false;
        if (boolText(m_s, b))
            return b;
        double d = 0;
        if (textToDouble(m_s, d))
            return d != 0;
        break;
    }
    case Kind::Null:
    case Kind::Array: break;
    }
    castError(*this, "Boolean");
}

qint64 Variant::toInt64() const
{
    switch (m_kind) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return m_v.b ? -1 : 0;
    case Kind::Int32:
    case Kind::Int64: return m_v.i;
    case Kind::Double: {
        qint64 r = 0;
        if (!roundToInt64(m_v.d, r))
            overflow();
        return r;
    }
    case Kind::Object: return qint64(reinterpret_cast<qintptr>(m_v.o));
    case Kind::String: {
        qint64 r = 0;
        if (textToInt64(m_s, r))
            return r;
        break;
    }
    case Kind::Null:
    case Kind::Array: break;
    }
    castError(*this, "Int64");
}

int Variant::toInt() const
{
    switch (m_kind) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return m_v.b ? -1 : 0;
    case Kind::Int32: return int(m_v.i);
    case Kind::Null:
    case Kind::Array: castError(*this, "Integer");
    case Kind::String: {
        qint64 r = 0;
        if (!textToInt64(m_s, r))
            castError(*this, "Integer");
        if (!fitsInt32(r))
            overflow();
        return int(r);
    }
    case Kind::Object:
        if (m_v.o == nullptr)
            return 0;
        castError(*this, "Integer");
    default: {
        const qint64 r = toInt64();
        if (!fitsInt32(r))
            overflow();
        return int(r);
    }
    }
}

double Variant::toDouble() const
{
    switch (m_kind) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return m_v.b ? -1 : 0;
    case Kind::Int32:
    case Kind::Int64: return double(m_v.i);
    case Kind::Double: return m_v.d;
    case Kind::Object: return double(reinterpret_cast<qintptr>(m_v.o));
    case Kind::String: {
        double d = 0;
        if (textToDouble(m_s, d))
            return d;
        break;
    }
    case Kind::Null:
    case Kind::Array: break;
    }
    castError(*this, "Double");
}

QString Variant::toString() const
{
    if (m_kind == Kind::String)
        return m_s;
    return toString(FormatSettings::current());
}

QString Variant::toString(const FormatSettings &fs) const
{
    switch (m_kind) {
    case Kind::Empty: return QString();
    case Kind::Boolean: return m_v.b ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int32:
    case Kind::Int64: return QString::number(m_v.i);
    case Kind::Double: return floatToStr(m_v.d, fs);
    case Kind::String: return m_s;
    case Kind::Object: return QString::number(qint64(reinterpret_cast<qintptr>(m_v.o)));
    case Kind::Null:
    case Kind::Array: break;
    }
    castError(*this, "String");
}

QString Variant::toText() const
{
    if (m_kind == Kind::Null || m_kind == Kind::Array)
        return QString();
    return toString();
}

Object *Variant::toObject() const
{
    switch (m_kind) {
    case Kind::Object: return m_v.o;
    case Kind::Empty:
    case Kind::Null: return nullptr;
    case Kind::Int32:
    case Kind::Int64:
        if (m_v.i == 0)
            return nullptr;
        break;
    default: break;
    }
    castError(*this, "Object");
}

// ---------------------------------------------------------------------------------------
// Arrays

int Variant::dimCount() const
{
    if (m_kind != Kind::Array)
        notArray();
    return int(m_a->bounds.size());
}

Variant::Bound Variant::bound(int dim) const
{
    if (m_kind != Kind::Array)
        notArray();
    if (dim < 1 || dim > m_a->bounds.size())
        throw EVariantError(QStringLiteral("Variant array dimension out of range"));
    return m_a->bounds.at(dim - 1);
}

int Variant::flatIndex(const QVector<int> &indexes) const
{
    if (m_kind != Kind::Array)
        notArray();
    const QVector<Bound> &bounds = m_a->bounds;
    if (indexes.size() != bounds.size())
        badIndex();
    qint64 flat = 0;
    for (qsizetype k = 0; k < bounds.size(); ++k) {
        const Bound &b = bounds.at(k);
        const int ix = indexes.at(k);
        if (ix < b.low || ix > b.high)
            badIndex();
        flat = flat * (qint64(b.high) - b.low + 1) + (ix - b.low);
    }
    return int(flat);
}

void Variant::detach()
{
    if (m_a && m_a.use_count() > 1)
        m_a = std::make_shared<ArrayData>(*m_a);
}

Variant &Variant::at(const QVector<int> &indexes)
{
    const int flat = flatIndex(indexes);
    detach();
    return m_a->items[flat];
}

const Variant &Variant::at(const QVector<int> &indexes) const
{
    return m_a->items.at(flatIndex(indexes));
}

int Variant::elementCount() const
{
    if (m_kind != Kind::Array)
        notArray();
    return int(m_a->items.size());
}

const QVector<Variant> &Variant::elements() const
{
    if (m_kind != Kind::Array)
        notArray();
    return m_a->items;
}

void Variant::redim(int newHigh)
{
    if (m_kind != Kind::Array)
        notArray();
    const Bound last = m_a->bounds.back();
    const qint64 newLen = qint64(newHigh) - last.low + 1;
    if (newLen < 0)
        createError();
    const qint64 oldLen = qint64(last.high) - last.low + 1;
    const qint64 rows = oldLen > 0 ? m_a->items.size() / oldLen : [&] {
        qint64 r = 1;
        for (qsizetype k = 0; k + 1 < m_a->bounds.size(); ++k)
            r *= qint64(m_a->bounds.at(k).high) - m_a->bounds.at(k).low + 1;
        return r;
    }();
    if (rows * newLen > kMaxArrayElements)
        createError();
    detach();
    if (rows == 1 || newLen == oldLen) {
        m_a->items.resize(rows * newLen);
    } else {
        // Row-major storage: every row of the last dimension moves.
        QVector<Variant> items(rows * newLen);
        const qint64 keep = qMin(oldLen, newLen);
        for (qint64 r = 0; r < rows; ++r)
            for (qint64 c = 0; c < keep; ++c)
                items[r * newLen + c] = std::move(m_a->items[r * oldLen + c]);
        m_a->items = std::move(items);
    }
    m_a->bounds.back().high = newHigh;
}

// ---------------------------------------------------------------------------------------
// Identity and debugging

bool Variant::sameAs(const Variant &other) const
{
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::Empty:
    case Kind::Null: return true;
    case Kind::Boolean: return m_v.b == other.m_v.b;
    case Kind::Int32:
    case Kind::Int64: return m_v.i == other.m_v.i;
    case Kind::Double: return m_v.d == other.m_v.d || (std::isnan(m_v.d) && std::isnan(other.m_v.d));
    case Kind::String: return m_s == other.m_s;
    case Kind::Object: return m_v.o == other.m_v.o;
    case Kind::Array: {
        if (m_a == other.m_a)
            return true;
        if (m_a->bounds.size() != other.m_a->bounds.size() || m_a->items.size() != other.m_a->items.size())
            return false;
        for (qsizetype k = 0; k < m_a->bounds.size(); ++k)
            if (m_a->bounds.at(k).low != other.m_a->bounds.at(k).low
                || m_a->bounds.at(k).high != other.m_a->bounds.at(k).high)
                return false;
        for (qsizetype k = 0; k < m_a->items.size(); ++k)
            if (!m_a->items.at(k).sameAs(other.m_a->items.at(k)))
                return false;
        return true;
    }
    }
    return false;
}

QString Variant::debugText() const
{
    switch (m_kind) {
    case Kind::Empty: return QStringLiteral("Empty");
    case Kind::Null: return QStringLiteral("Null");
    case Kind::Boolean: return m_v.b ? QStringLiteral("Boolean(True)") : QStringLiteral("Boolean(False)");
    case Kind::Int32: return QStringLiteral("Int32(%1)").arg(m_v.i);
    case Kind::Int64: return QStringLiteral("Int64(%1)").arg(m_v.i);
    case Kind::Double: return QStringLiteral("Double(%1)").arg(QString::number(m_v.d, 'g', 17));
    case Kind::String: return QStringLiteral("String(\"%1\")").arg(m_s);
    case Kind::Object:
        return m_v.o ? QStringLiteral("Object(0x%1)").arg(quintptr(m_v.o), 0, 16) : QStringLiteral("Object(nil)");
    case Kind::Array: {
        QString s = QStringLiteral("Array[");
        for (qsizetype k = 0; k < m_a->bounds.size(); ++k) {
            if (k)
                s += QLatin1Char(',');
            s += QStringLiteral("%1..%2").arg(m_a->bounds.at(k).low).arg(m_a->bounds.at(k).high);
        }
        s += QStringLiteral("](");
        for (qsizetype k = 0; k < m_a->items.size(); ++k) {
            if (k)
                s += QStringLiteral(", ");
            s += m_a->items.at(k).debugText();
        }
        return s + QLatin1Char(')');
    }
    }
    return QString();
}

// ---------------------------------------------------------------------------------------
// Operations

namespace var {

namespace {

// A numeric operand: Int32-sized integers, Int64 or Double.
struct Num {
    enum Class { I32, I64, F64 } cls;
    qint64 i;
    double d;
};

Num numOf(const Variant &v)
{
    switch (v.kind()) {
    case Variant::Kind::Empty: return {Num::I32, 0, 0};
    case Variant::Kind::Boolean: return {Num::I32, v.toInt64(), 0};
    case Variant::Kind::Int32: return {Num::I32, v.toInt64(), 0};
    case Variant::Kind::Int64:
    case Variant::Kind::Object: return {Num::I64, v.toInt64(), 0};
    case Variant::Kind::Double: return {Num::F64, 0, v.toDouble()};
    case Variant::Kind::String: return {Num::F64, 0, v.toDouble()};
    case Variant::Kind::Null:
    case Variant::Kind::Array: break;
    }
    invalidOp();
}

double asDouble(const Num &n)
{
    return n.cls == Num::F64 ? n.d : double(n.i);
}

// An integer operand of div, mod, shifts and bitwise operations.
struct Int {
    qint64 v;
    bool wide; // not Int32-sized
};

Int intOf(const Variant &v)
{
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Boolean:
    case Variant::Kind::Int32: return {v.toInt64(), false};
    case Variant::Kind::Int64:
    case Variant::Kind::Object: return {v.toInt64(), true};
    case Variant::Kind::Double:
    case Variant::Kind::String: {
        const qint64 r = v.toInt64();
        return {r, !fitsInt32(r)};
    }
    case Variant::Kind::Null:
    case Variant::Kind::Array: break;
    }
    invalidOp();
}

Variant integerResult(qint64 r, bool wide)
{
    if (!wide && fitsInt32(r))
        return Variant(int(r));
    return Variant(r);
}

bool anyNull(const Variant &a, const Variant &b)
{
    return a.isNull() || b.isNull();
}

void rejectArrays(const Variant &a, const Variant &b)
{
    if (a.isArray() || b.isArray())
        invalidOp();
}

enum class Arith { Add, Sub, Mul };

Variant arith(Arith op, const Variant &a, const Variant &b)
{
    const Num x = numOf(a);
    const Num y = numOf(b);
    if (x.cls == Num::F64 || y.cls == Num::F64) {
        const double l = asDouble(x), r = asDouble(y);
        switch (op) {
        case Arith::Add: return Variant(l + r);
        case Arith::Sub: return Variant(l - r);
        case Arith::Mul: return Variant(l * r);
        }
    }
    if (x.cls == Num::I32 && y.cls == Num::I32) {
        // Two 32-bit operands cannot overflow 64 bits.
        qint64 r = 0;
        switch (op) {
        case Arith::Add: r = x.i + y.i; break;
        case Arith::Sub: r = x.i - y.i; break;
        case Arith::Mul: r = x.i * y.i; break;
        }
        return integerResult(r, false);
    }
    qint64 r = 0;
    bool over = false;
    switch (op) {
    case Arith::Add: over = __builtin_add_overflow(x.i, y.i, &r); break;
    case Arith::Sub: over = __builtin_sub_overflow(x.i, y.i, &r); break;
    case Arith::Mul: over = __builtin_mul_overflow(x.i, y.i, &r); break;
    }
    if (over) {
        const double l = double(x.i), rr = double(y.i);
        switch (op) {
        case Arith::Add: return Variant(l + rr);
        case Arith::Sub: return Variant(l - rr);
        case Arith::Mul: return Variant(l * rr);
        }
    }
    return Variant(r);
}

// Whether and/or/xor/not take the operand as a truth value.
bool booleanLike(const Variant &v)
{
    if (v.kind() == Variant::Kind::Boolean || v.isEmpty())
        return true;
    if (v.isString()) {
        bool b = false;
        return boolText(v.toString(), b);
    }
    return false;
}

enum class Bits { And, Or, Xor };

Variant bitwise(Bits op, const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    const bool logical = (a.kind() == Variant::Kind::Boolean || b.kind() == Variant::Kind::Boolean)
        && booleanLike(a) && booleanLike(b);
    if (logical) {
        const bool l = a.toBool(), r = b.toBool();
        switch (op) {
        case Bits::And: return Variant(l && r);
        case Bits::Or: return Variant(l || r);
        case Bits::Xor: return Variant(l != r);
        }
    }
    const Int x = intOf(a), y = intOf(b);
    qint64 r = 0;
    switch (op) {
    case Bits::And: r = x.v & y.v; break;
    case Bits::Or: r = x.v | y.v; break;
    case Bits::Xor: r = x.v ^ y.v; break;
    }
    return integerResult(r, x.wide || y.wide);
}

Order orderOf(qint64 l, qint64 r)
{
    return l < r ? Order::Less : (l > r ? Order::Greater : Order::Equal);
}

Order orderOf(long double l, long double r)
{
    if (std::isnan(l) || std::isnan(r))
        return Order::Unordered;
    return l < r ? Order::Less : (l > r ? Order::Greater : Order::Equal);
}

} // namespace

Variant add(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    if (a.isString() && (b.isString() || b.isEmpty()))
        return Variant(a.toString() + b.toString());
    if (a.isEmpty() && b.isString())
        return b;
    return arith(Arith::Add, a, b);
}

Variant sub(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    return arith(Arith::Sub, a, b);
}

Variant mul(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    return arith(Arith::Mul, a, b);
}

Variant divide(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    const double l = asDouble(numOf(a));
    const double r = asDouble(numOf(b));
    if (r == 0) {
        if (l == 0 || std::isnan(l))
            throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
        throw EZeroDivide(QStringLiteral("Floating point division by zero"));
    }
    return Variant(l / r);
}

Variant intDiv(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    const Int x = intOf(a), y = intOf(b);
    if (y.v == 0)
        throw EDivByZero(QStringLiteral("Division by zero"));
    if (y.v == -1) {
        if (x.v == std::numeric_limits<qint64>::min())
            return Variant(-double(x.v));
        return integerResult(-x.v, x.wide || y.wide);
    }
    return integerResult(x.v / y.v, x.wide || y.wide);
}

Variant mod(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    const Int x = intOf(a), y = intOf(b);
    if (y.v == 0)
        throw EDivByZero(QStringLiteral("Division by zero"));
    if (y.v == -1)
        return integerResult(0, x.wide || y.wide);
    return integerResult(x.v % y.v, x.wide || y.wide);
}

Variant shl(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    const Int x = intOf(a), y = intOf(b);
    if (!x.wide)
        return Variant(int(quint32(x.v) << (quint64(y.v) & 31)));
    return Variant(qint64(quint64(x.v) << (quint64(y.v) & 63)));
}

Variant shr(const Variant &a, const Variant &b)
{
    if (anyNull(a, b))
        return Variant::null();
    rejectArrays(a, b);
    const Int x = intOf(a), y = intOf(b);
    if (!x.wide)
        return Variant(int(quint32(x.v) >> (quint64(y.v) & 31)));
    return Variant(qint64(quint64(x.v) >> (quint64(y.v) & 63)));
}

Variant logicalAnd(const Variant &a, const Variant &b) { return bitwise(Bits::And, a, b); }
Variant logicalOr(const Variant &a, const Variant &b) { return bitwise(Bits::Or, a, b); }
Variant logicalXor(const Variant &a, const Variant &b) { return bitwise(Bits::Xor, a, b); }

Variant logicalNot(const Variant &a)
{
    switch (a.kind()) {
    case Variant::Kind::Null: return Variant::null();
    case Variant::Kind::Boolean: return Variant(!a.toBool());
    case Variant::Kind::Array: invalidOp();
    case Variant::Kind::String: {
        qint64 i = 0;
        if (!tryStrToInt64(a.toString(), i) && booleanLike(a))
            return Variant(!a.toBool());
        break;
    }
    default: break;
    }
    const Int x = intOf(a);
    return integerResult(~x.v, x.wide);
}

Variant negate(const Variant &a)
{
    switch (a.kind()) {
    case Variant::Kind::Null: return Variant::null();
    case Variant::Kind::Array: invalidOp();
    case Variant::Kind::Double:
    case Variant::Kind::String: return Variant(-a.toDouble());
    default: break;
    }
    const Num x = numOf(a);
    if (x.cls == Num::I32)
        return integerResult(-x.i, false);
    if (x.i == std::numeric_limits<qint64>::min())
        return Variant(-double(x.i));
    return Variant(-x.i);
}

Order compare(const Variant &a, const Variant &b)
{
    using K = Variant::Kind;
    if (a.isNull() || b.isNull()) {
        if (a.isNull() && b.isNull())
            return Order::Equal;
        return a.isNull() ? Order::Less : Order::Greater;
    }
    rejectArrays(a, b);
    const K ka = a.kind(), kb = b.kind();
    if (ka == K::Empty && kb == K::Empty)
        return Order::Equal;
    if ((ka == K::String || ka == K::Empty) && (kb == K::String || kb == K::Empty)) {
        const int c = a.toString().compare(b.toString(), Qt::CaseSensitive);
        return c < 0 ? Order::Less : (c > 0 ? Order::Greater : Order::Equal);
    }
    const bool boolA = ka == K::Boolean, boolB = kb == K::Boolean;
    if ((boolA || boolB) && (boolA || ka == K::String || ka == K::Empty) && (boolB || kb == K::String || kb == K::Empty))
        return orderOf(qint64(a.toBool()), qint64(b.toBool()));
    if (ka == K::Object && kb == K::Object)
        return orderOf(qint64(reinterpret_cast<qintptr>(a.toObject())), qint64(reinterpret_cast<qintptr>(b.toObject())));
    const Num x = numOf(a), y = numOf(b);
    if (x.cls == Num::F64 || y.cls == Num::F64) {
        const long double l = x.cls == Num::F64 ? (long double)x.d : (long double)x.i;
        const long double r = y.cls == Num::F64 ? (long double)y.d : (long double)y.i;
        return orderOf(l, r);
    }
    return orderOf(x.i, y.i);
}

bool equals(const Variant &a, const Variant &b) { return compare(a, b) == Order::Equal; }
bool less(const Variant &a, const Variant &b) { return compare(a, b) == Order::Less; }
bool lessOrEqual(const Variant &a, const Variant &b)
{
    const Order o = compare(a, b);
    return o == Order::Less || o == Order::Equal;
}
bool greater(const Variant &a, const Variant &b) { return compare(a, b) == Order::Greater; }
bool greaterOrEqual(const Variant &a, const Variant &b)
{
    const Order o = compare(a, b);
    return o == Order::Greater || o == Order::Equal;
}

} // namespace var

} // namespace tw
