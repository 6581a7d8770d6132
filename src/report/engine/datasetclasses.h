#pragma once

namespace tw {

class TfsScript;

// The report dataset classes as scripts see them (module frxCustomDBRTTI): TfrxDataSet
// with its cursor methods, RecNo and the indexed properties DisplayText, DisplayWidth,
// FieldType and Value; TfrxUserDataSet, TfrxCustomDBDataSet, TfrxDBDataset (Locate,
// IsEmpty, RecordCount); the enumerations TfrxRangeBegin, TfrxRangeEnd, TfrxFieldType.
// Published properties come from the class metadata.
void frxRegisterDataSetClasses(TfsScript *script);

} // namespace tw
