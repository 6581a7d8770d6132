#include "db/fieldtype.h"

#include <array>

namespace tw::db {

namespace {
constexpr std::array<const char *, ftSingle + 1> kNames = {
    "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
    "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
    "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFmtMemo", "ftParadoxOle", "ftDBaseOle",
    "ftTypedBinary", "ftCursor", "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",
    "ftArray", "ftReference", "ftDataSet", "ftOraBlob", "ftOraClob", "ftVariant",
    "ftInterface", "ftIDispatch", "ftGuid", "ftTimeStamp", "ftFMTBcd", "ftFixedWideChar",
    "ftWideMemo", "ftOraTimeStamp", "ftOraInterval", "ftLongWord", "ftShortint", "ftByte",
    "ftExtended", "ftConnection", "ftParams", "ftStream", "ftTimeStampOffset", "ftObject",
    "ftSingle"};
} // namespace

QString fieldTypeName(FieldType type)
{
    if (type < 0 || type > ftSingle)
        return {};
    return QString::fromLatin1(kNames[type]);
}

bool fieldTypeFromName(const QString &name, FieldType &out)
{
    for (int i = 0; i <= ftSingle; ++i) {
        if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) {
            out = FieldType(i);
            return true;
        }
    }
    return false;
}

bool isBlobType(FieldType t)
{
    switch (t) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary: case ftOraBlob: case ftOraClob: case ftWideMemo:
        return true;
    default:
        return false;
    }
}

bool isStringType(FieldType t)
{
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftFixedWideChar;
}

bool isIntegerType(FieldType t)
{
    switch (t) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint:
    case ftLongWord: case ftShortint: case ftByte:
        return true;
    default:
        return false;
    }
}

bool isFloatType(FieldType t)
{
    return t == ftFloat || t == ftCurrency || t == ftBCD || t == ftFMTBcd || t == ftExtended
        || t == ftSingle;
}

bool isDateTimeType(FieldType t)
{
    return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp
        || t == ftOraTimeStamp || t == ftTimeStampOffset;
}

} // namespace tw::db
