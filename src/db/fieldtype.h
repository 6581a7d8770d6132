#pragma once

#include <QString>

namespace tw::db {

// Data types of fields and parameters. The names are what templates store for a
// parameter's DataType, so the list keeps its historical order.
enum FieldType : int {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
    ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
    ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
    ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
    ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo,
    ftOraTimeStamp, ftOraInterval, ftLongWord, ftShortint, ftByte, ftExtended, ftConnection,
    ftParams, ftStream, ftTimeStampOffset, ftObject, ftSingle
};

// "ftString" for ftString; "" for a value outside the list.
QString fieldTypeName(FieldType type);
// Exact name, letters in any case; false when the name is not a field type.
bool fieldTypeFromName(const QString &name, FieldType &out);

bool isBlobType(FieldType type);
bool isStringType(FieldType type);   // string, fixed char, wide string, fixed wide char
bool isIntegerType(FieldType type);  // smallint .. largeint, autoinc, word, byte ...
bool isFloatType(FieldType type);    // float, currency, BCD, FMTBcd, extended, single
bool isDateTimeType(FieldType type); // date, time, date-time, time stamps

} // namespace tw::db
