#include "script/library.h"

#include "base/datetime.h"
#include "base/formatsettings.h"
#include "base/numberformat.h"
#include "base/textformat.h"

#include <QRandomGenerator>

#include <cmath>
#include <limits>
#include <mutex>

namespace tw {

namespace {

TfsMessageSink *&sinkSlot()
{
    static TfsMessageSink *sink = nullptr;
    return sink;
}

// The generator starts from a fixed seed until Randomize is called, so runs repeat.
QRandomGenerator &randomGenerator()
{
    static QRandomGenerator gen(0u);
    return gen;
}

using Params = QVector<Variant>;
using Fn = Variant (*)(Params &);

const FormatSettings &fs() { return FormatSettings::current(); }

Variant intResult(qint64 v)
{
    if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
        return Variant(int(v));
    return Variant(v);
}

// The floating-point checks the platform's FPU raised: results that are not numbers.
double checked(double r)
{
    if (std::isnan(r))
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    if (std::isinf(r))
        throw Error(QStringLiteral("Floating point overflow"));
    return r;
}

qint64 toInteger(double d)
{
    // Beyond the 64-bit range (and NaN) there is no integer to give.
    if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0))
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return qint64(d);
}

QVector<Variant> arrayElements(const Variant &v)
{
    if (v.isArray())
        return v.elements();
    if (v.isEmptyOrNull())
        return {};
    return {v};
}

bool isBlankOrControl(QChar c) { return c.unicode() <= 0x20; }

QString trimBlanks(const QString &s)
{
    int a = 0;
    int b = int(s.size());
    while (a < b && isBlankOrControl(s.at(a)))
        ++a;
    while (b > a && isBlankOrControl(s.at(b - 1)))
        --b;
    return s.mid(a, b - a);
}

QString nameCase(const QString &s)
{
    QString r = s.toLower();
    for (int i = 0; i < r.size(); ++i)
        if (i == 0 || r.at(i - 1) == QLatin1Char(' '))
            r[i] = r.at(i).toUpper();
    return r;
}

QString copyText(const QString &s, int from, int count)
{
    if (from < 1)
        from = 1;
    if (count <= 0 || from > s.size())
        return QString();
    return s.mid(from - 1, count);
}

QString deleteText(QString s, int from, int count)
{
    if (from >= 1 && from <= s.size() && count > 0)
        s.remove(from - 1, count);
    return s;
}

QString insertText(const QString &what, QString s, int pos)
{
    if (pos < 1)
        pos = 1;
    if (pos > s.size() + 1)
        pos = int(s.size()) + 1;
    s.insert(pos - 1, what);
    return s;
}

bool strToBool(const QString &text)
{
    const QString s = text.trimmed();
    if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    double d = 0;
    if (tryStrToFloat(s, fs(), d))
        return d != 0;
    throw EConvertError(QLatin1Char('\'') + text + QStringLiteral("' is not a valid boolean value"));
}

QString extractFilePath(const QString &name)
{
    int i = int(name.size()) - 1;
    while (i >= 0 && name.at(i) != QLatin1Char('/') && name.at(i) != QLatin1Char('\\') && name.at(i) != QLatin1Char(':'))
        --i;
    return name.left(i + 1);
}

// Beyond these sizes a script asks for more memory than a report can use.
constexpr int kMaxStringLength = 1 << 26;
constexpr int kMaxArrayElements = 1 << 22;

[[noreturn]] void outOfMemory() { throw Error(QStringLiteral("Out of memory")); }

int lengthOf(const Variant &v)
{
    if (v.isArray()) {
        const Variant::Bound b = v.bound(1);
        return b.high - b.low + 1;
    }
    return int(v.toText().size());
}

Variant setLength(const Variant &v, int len)
{
    if (len < 0)
        len = 0;
    if (v.isArray()) {
        if (qint64(len) * qMax(1, v.elementCount() / qMax(1, lengthOf(v))) > kMaxArrayElements)
            outOfMemory();
        Variant r = v;
        r.redim(r.bound(1).low + len - 1);
        return r;
    }
    if (len > kMaxStringLength)
        outOfMemory();
    QString s = v.toText();
    if (len <= s.size())
        s.truncate(len);
    else
        s.append(QString(len - s.size(), QLatin1Char(' ')));
    return Variant(s);
}

// The zero value of an element type, so new typed arrays read as numbers or texts.
Variant zeroOf(int typ)
{
    switch (typ & 0xFFF) {
    case Variant::varSmallint: case Variant::varInteger: case Variant::varShortInt: case Variant::varByte:
    case Variant::varWord: case Variant::varLongWord: case Variant::varInt64:
        return Variant(0);
    case Variant::varSingle: case Variant::varDouble: case Variant::varCurrency: case Variant::varDate:
        return Variant(0.0);
    case Variant::varBoolean:
        return Variant(false);
    case Variant::varOleStr: case Variant::varString: case Variant::varUString:
        return Variant(QString());
    default:
        return Variant();
    }
}

void fillArray(Variant &a, const QVector<Variant::Bound> &bounds, QVector<int> &idx, int dim, const Variant &value)
{
    if (dim == bounds.size()) {
        a.at(idx) = value;
        return;
    }
    for (int i = bounds[dim].low; i <= bounds[dim].high; ++i) {
        idx[dim] = i;
        fillArray(a, bounds, idx, dim + 1, value);
    }
}

Variant varArrayCreate(const Variant &boundsArg, int typ)
{
    const QVector<Variant> b = arrayElements(boundsArg);
    if (b.isEmpty() || b.size() % 2 != 0)
        throw EVariantError(QStringLiteral("Invalid variant array bounds"));
    QVector<Variant::Bound> bounds;
    qint64 count = 1;
    for (int i = 0; i < b.size(); i += 2) {
        Variant::Bound bd;
        bd.low = b[i].toInt();
        bd.high = b[i + 1].toInt();
        if (bd.high < bd.low - 1)
            throw EVariantError(QStringLiteral("Invalid variant array bounds"));
        bounds.append(bd);
        count *= qint64(bd.high) - bd.low + 1;
        if (count > kMaxArrayElements)
            outOfMemory();
    }
    Variant a = Variant::array(bounds);
    const Variant zero = zeroOf(typ);
    if (!zero.isEmpty() && a.elementCount() > 0) {
        QVector<int> idx(bounds.size());
        fillArray(a, bounds, idx, 0, zero);
    }
    return a;
}

Variant absOf(const Variant &v)
{
    switch (v.kind()) {
    case Variant::Kind::Int32:
    case Variant::Kind::Int64: {
        const qint64 i = v.toInt64();
        return i < 0 ? var::negate(v) : v;
    }
    default:
        return Variant(std::fabs(v.toDouble()));
    }
}

int ordOf(const Variant &v)
{
    if (v.kind() == Variant::Kind::Boolean)
        return v.toBool() ? 1 : 0;
    if (v.kind() == Variant::Kind::Int32 || v.kind() == Variant::Kind::Int64)
        return v.toInt();
    const QString s = v.toText();
    return s.isEmpty() ? 0 : s.at(0).unicode();
}

bool validDate(const Variant &v)
{
    const QString text = v.isNumeric() ? dateToStr(v.toDouble(), fs()) : v.toText();
    TDateTime d = 0;
    return tryStrToDate(text, fs(), d);
}

struct Entry {
    const char *syntax;
    const char *category;
    Fn fn;
};

#define TW_FN(...) [](Params &p) -> Variant { (void)p; __VA_ARGS__ }

// Declaration strings are the names scripts and the designator's function list see; keep
// them exactly as they are.
const Entry kFunctions[] = {
    // Conversions
    {"function IntToStr(i: Integer): String", "ctConv", TW_FN(return Variant(QString::number(p[0].toInt64()));)},
    {"function FloatToStr(e: Extended): String", "ctConv", TW_FN(return Variant(floatToStr(p[0].toDouble(), fs()));)},
    {"function DateToStr(e: Extended): String", "ctConv", TW_FN(return Variant(dateToStr(p[0].toDouble(), fs()));)},
    {"function TimeToStr(e: Extended): String", "ctConv", TW_FN(return Variant(timeToStr(p[0].toDouble(), fs()));)},
    {"function DateTimeToStr(e: Extended): String", "ctConv", TW_FN(return Variant(dateTimeToStr(p[0].toDouble(), fs()));)},
    {"function BoolToStr(B: Boolean): string;", "ctConv",
     TW_FN(return Variant(p[0].toBool() ? QStringLiteral("-1") : QStringLiteral("0"));)},
    {"function VarToStr(v: Variant): String", "ctConv", TW_FN(return Variant(p[0].toText());)},
    {"function StrToInt(s: String): Integer", "ctConv", TW_FN(return Variant(strToInt(p[0].toText()));)},
    {"function StrToInt64(s: String): Int64", "ctConv", TW_FN(return Variant(strToInt64(p[0].toText()));)},
    {"function StrToFloat(s: String): Extended", "ctConv", TW_FN(return Variant(strToFloat(p[0].toText(), fs()));)},
    {"function StrToDate(s: String): Extended", "ctConv", TW_FN(return Variant(strToDate(p[0].toText(), fs()));)},
    {"function StrToTime(s: String): Extended", "ctConv", TW_FN(return Variant(strToTime(p[0].toText(), fs()));)},
    {"function StrToDateTime(s: String): Extended", "ctConv",
     TW_FN(return Variant(strToDateTime(p[0].toText(), fs()));)},
    {"function StrToBool(const S: string): Boolean;", "ctConv", TW_FN(return Variant(strToBool(p[0].toText()));)},

    // Formatting
    {"function Format(Fmt: String; Args: array): String", "ctFormat",
     TW_FN(return Variant(format(p[0].toText(), arrayElements(p[1]), fs()));)},
    {"function FormatFloat(Fmt: String; Value: Extended): String", "ctFormat",
     TW_FN(return Variant(formatFloat(p[0].toText(), p[1].toDouble(), fs()));)},
    {"function FormatDateTime(Fmt: String; DateTime: TDateTime): String", "ctFormat",
     TW_FN(return Variant(formatDateTime(p[0].toText(), p[1].toDouble(), fs()));)},
    {"function FormatMaskText(EditMask: string; Value: string): string", "ctFormat",
     TW_FN(return Variant(formatMaskText(p[0].toText(), p[1].toText(), fs()));)},

    // Dates
    {"function EncodeDate(Year, Month, Day: Word): TDateTime", "ctDate",
     TW_FN(return Variant(encodeDate(p[0].toInt(), p[1].toInt(), p[2].toInt()));)},
    {"procedure DecodeDate(Date: TDateTime; var Year, Month, Day: Word)", "ctDate", TW_FN({
         int y = 0, m = 0, d = 0;
         decodeDate(p[0].toDouble(), y, m, d);
         p[1] = Variant(y);
         p[2] = Variant(m);
         p[3] = Variant(d);
         return Variant::null();
     })},
    {"function EncodeTime(Hour, Min, Sec, MSec: Word): TDateTime", "ctDate",
     TW_FN(return Variant(encodeTime(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()));)},
    {"procedure DecodeTime(Time: TDateTime; var Hour, Min, Sec, MSec: Word)", "ctDate", TW_FN({
         int h = 0, n = 0, s = 0, ms = 0;
         decodeTime(p[0].toDouble(), h, n, s, ms);
         p[1] = Variant(h);
         p[2] = Variant(n);
         p[3] = Variant(s);
         p[4] = Variant(ms);
         return Variant::null();
     })},
    {"function Date: TDateTime", "ctDate", TW_FN(return Variant(today());)},
    {"function Time: TDateTime", "ctDate", TW_FN({
         const TDateTime now = nowDateTime();
         return Variant(now - std::floor(now));
     })},
    {"function Now: TDateTime", "ctDate", TW_FN(return Variant(nowDateTime());)},
    {"function DayOfWeek(aDate: TDateTime): Integer", "ctDate", TW_FN(return Variant(dayOfWeek(p[0].toDouble()));)},
    {"function IsLeapYear(Year: Word): Boolean", "ctDate", TW_FN(return Variant(isLeapYear(p[0].toInt()));)},
    {"function DaysInMonth(nYear, nMonth: Integer): Integer", "ctDate", TW_FN({
         const int m = p[1].toInt();
         if (m < 1 || m > 12)
             throw EConvertError(QStringLiteral("Invalid argument to date encode"));
         return Variant(daysInMonth(p[0].toInt(), m));
     })},

    // Strings
    {"function Length(s: Variant): Integer", "ctString", TW_FN(return Variant(lengthOf(p[0]));)},
    {"function Copy(s: String; from, count: Integer): String", "ctString",
     TW_FN(return Variant(copyText(p[0].toText(), p[1].toInt(), p[2].toInt()));)},
    {"function Pos(substr, s: String): Integer", "ctString", TW_FN({
         const QString sub = p[0].toText();
         return Variant(sub.isEmpty() ? 0 : int(p[1].toText().indexOf(sub)) + 1);
     })},
    {"procedure Delete(var s: String; from, count: Integer)", "ctString", TW_FN({
         p[0] = Variant(deleteText(p[0].toText(), p[1].toInt(), p[2].toInt()));
         return Variant::null();
     })},
    {"procedure DeleteStr(var s: String; from, count: Integer)", "ctString", TW_FN({
         p[0] = Variant(deleteText(p[0].toText(), p[1].toInt(), p[2].toInt()));
         return Variant::null();
     })},
    {"procedure Insert(s: String; var s2: String; pos: Integer)", "ctString", TW_FN({
         p[1] = Variant(insertText(p[0].toText(), p[1].toText(), p[2].toInt()));
         return Variant::null();
     })},
    {"function Uppercase(s: String): String", "ctString", TW_FN(return Variant(p[0].toText().toUpper());)},
    {"function Lowercase(s: String): String", "ctString", TW_FN(return Variant(p[0].toText().toLower());)},
    {"function Trim(s: String): String", "ctString", TW_FN(return Variant(trimBlanks(p[0].toText()));)},
    {"function NameCase(s: String): String", "ctString", TW_FN(return Variant(nameCase(p[0].toText()));)},
    {"function CompareText(s, s1: String): Integer", "ctString",
     TW_FN(return Variant(p[0].toText().compare(p[1].toText(), Qt::CaseInsensitive));)},
    {"function Chr(i: Integer): Char", "ctString", TW_FN(return Variant(QChar(char16_t(p[0].toInt64() & 0xFFFF)));)},
    {"function Ord(ch: Char): Integer", "ctString", TW_FN(return Variant(ordOf(p[0]));)},
    {"procedure SetLength(var S: Variant; L: Integer)", "ctString", TW_FN({
         p[0] = setLength(p[0], p[1].toInt());
         return Variant::null();
     })},

    // Mathematics
    {"function Round(e: Extended): Integer", "ctMath",
     TW_FN(return intResult(toInteger(std::nearbyint(p[0].toDouble())));)},
    {"function Trunc(e: Extended): Integer", "ctMath", TW_FN(return intResult(toInteger(std::trunc(p[0].toDouble())));)},
    // Stays floating: values beyond the Integer range keep their size.
    {"function Int(e: Extended): Integer", "ctMath", TW_FN(return Variant(std::trunc(p[0].toDouble()));)},
    {"function Frac(X: Extended): Extended", "ctMath", TW_FN({
         const double d = p[0].toDouble();
         return Variant(d - std::trunc(d));
     })},
    {"function Sqrt(e: Extended): Extended", "ctMath", TW_FN(return Variant(checked(std::sqrt(p[0].toDouble())));)},
    {"function Abs(e: Extended): Extended", "ctMath", TW_FN(return absOf(p[0]);)},
    {"function Sin(e: Extended): Extended", "ctMath", TW_FN(return Variant(checked(std::sin(p[0].toDouble())));)},
    {"function Cos(e: Extended): Extended", "ctMath", TW_FN(return Variant(checked(std::cos(p[0].toDouble())));)},
    {"function ArcTan(X: Extended): Extended", "ctMath", TW_FN(return Variant(checked(std::atan(p[0].toDouble())));)},
    {"function Tan(X: Extended): Extended", "ctMath", TW_FN(return Variant(checked(std::tan(p[0].toDouble())));)},
    {"function Exp(X: Extended): Extended", "ctMath", TW_FN(return Variant(checked(std::exp(p[0].toDouble())));)},
    {"function Ln(X: Extended): Extended", "ctMath", TW_FN({
         const double d = p[0].toDouble();
         if (d == 0)
             throw EZeroDivide(QStringLiteral("Floating point division by zero"));
         return Variant(checked(std::log(d)));
     })},
    {"function Pi: Extended", "ctMath", TW_FN(return Variant(M_PI);)},

    // Other
    {"procedure Inc(var i: Integer; incr: Integer = 1)", "ctOther", TW_FN({
         p[0] = var::add(p[0], p[1]);
         return Variant::null();
     })},
    {"procedure Dec(var i: Integer; decr: Integer = 1)", "ctOther", TW_FN({
         p[0] = var::sub(p[0], p[1]);
         return Variant::null();
     })},
    {"procedure RaiseException(Param: String)", "ctOther", TW_FN(throw Error(p[0].toText());)},
    {"procedure ShowMessage(Msg: Variant)", "ctOther", TW_FN({
         if (TfsMessageSink *sink = sinkSlot())
             sink->ShowMessage(p[0].toText());
         return Variant::null();
     })},
    {"procedure Randomize", "ctOther", TW_FN({
         randomGenerator().seed(QRandomGenerator::system()->generate());
         return Variant::null();
     })},
    {"function Random: Extended", "ctOther", TW_FN(return Variant(randomGenerator().generateDouble());)},
    {"function ValidInt(cInt: String): Boolean", "ctOther", TW_FN({
         int i = 0;
         return Variant(tryStrToInt(p[0].toText(), i));
     })},
    {"function ValidFloat(cFlt: String): Boolean", "ctOther", TW_FN({
         double d = 0;
         return Variant(tryStrToFloat(p[0].toText(), fs(), d));
     })},
    {"function ValidDate(cDate: String): Boolean", "ctOther", TW_FN(return Variant(validDate(p[0]));)},
    {"function ExtractFilePath(const FileName: string): string;", "ctOther",
     TW_FN(return Variant(extractFilePath(p[0].toText()));)},
    {"function CreateOleObject(ClassName: String): Variant", "ctOther",
     TW_FN(throw Error(QStringLiteral("CreateOleObject('") + p[0].toText()
                       + QStringLiteral("'): automation objects are not available on this platform"));)},
    {"function VarArrayCreate(Bounds: Array; Typ: Integer): Variant", "ctOther",
     TW_FN(return varArrayCreate(p[0], p[1].toInt());)},
    {"function VarType(V: Variant): Integer", "ctOther", TW_FN(return Variant(p[0].varType());)},
};

#undef TW_FN

} // namespace

void fsSetMessageSink(TfsMessageSink *sink) { sinkSlot() = sink; }

TfsMessageSink *fsMessageSink() { return sinkSlot(); }

TfsSysFunctions::TfsSysFunctions(TfsScript *script) : TfsRTTIModule(script)
{
    TfsScript *s = script;
    for (const char *n : {"Byte", "Word", "Integer", "Longint", "Cardinal", "TColor", "TAlphaColor"})
        s->AddType(QString::fromLatin1(n), fvtInt);
    s->AddType(QStringLiteral("Int64"), fvtInt64);
    s->AddType(QStringLiteral("Boolean"), fvtBool);
    for (const char *n : {"Real", "Single", "Double", "Extended", "Currency", "TDate", "TTime", "TDateTime"})
        s->AddType(QString::fromLatin1(n), fvtFloat);
    s->AddType(QStringLiteral("Char"), fvtChar);
    s->AddType(QStringLiteral("String"), fvtString);
    s->AddType(QStringLiteral("Variant"), fvtVariant);
    s->AddType(QStringLiteral("Pointer"), fvtVariant);
    s->AddType(QStringLiteral("Array"), fvtArray);
    s->AddType(QStringLiteral("Constructor"), fvtConstructor);

    s->AddConst(QStringLiteral("True"), QStringLiteral("Boolean"), Variant(true));
    s->AddConst(QStringLiteral("False"), QStringLiteral("Boolean"), Variant(false));
    s->AddConst(QStringLiteral("nil"), QStringLiteral("Variant"), Variant(0));
    s->AddConst(QStringLiteral("Null"), QStringLiteral("Variant"), Variant::null());
    const struct {
        const char *name;
        int value;
    } varCodes[] = {
        {"varEmpty", 0}, {"varNull", 1}, {"varSmallint", 2}, {"varInteger", 3}, {"varSingle", 4},
        {"varDouble", 5}, {"varCurrency", 6}, {"varDate", 7}, {"varOleStr", 8}, {"varDispatch", 9},
        {"varError", 10}, {"varBoolean", 11}, {"varVariant", 12}, {"varUnknown", 13}, {"varShortInt", 16},
        {"varByte", 17}, {"varWord", 18}, {"varLongWord", 19}, {"varInt64", 20}, {"varStrArg", 72},
        {"varString", 256}, {"varAny", 257}, {"varTypeMask", 4095}, {"varArray", 8192}, {"varByRef", 16384},
    };
    for (const auto &c : varCodes)
        s->AddConst(QString::fromLatin1(c.name), QStringLiteral("Integer"), Variant(c.value));

    s->AddVariable(QStringLiteral("ExceptionClassName"), QStringLiteral("String"), Variant(QString()));
    s->AddVariable(QStringLiteral("ExceptionMessage"), QStringLiteral("String"), Variant(QString()));
    if (!s->Find(QStringLiteral("__StringHelper")))
        s->Add(new TfsStringHelper());
    if (!s->Find(QStringLiteral("__ArrayHelper")))
        s->Add(new TfsArrayHelper(QStringLiteral("__ArrayHelper"), 1));

    for (const Entry &e : kFunctions) {
        const Fn fn = e.fn;
        s->AddMethod(QString::fromLatin1(e.syntax),
                     TfsCallMethodEvent([fn](Object *, const ClassInfo *, const QString &, Params &p) { return fn(p); }),
                     QString::fromLatin1(e.category));
    }
}

void fsRegisterSysFunctions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        fsRegisterRTTIModule([](TfsScript *script) -> TfsRTTIModule * { return new TfsSysFunctions(script); });
    });
}

} // namespace tw
