#pragma once

namespace tw {

class TfsScript;

// The report query classes as scripts see them: TfrxCustomDataset (Last, FieldByName,
// DataSet, Fields, Active), TfrxCustomQuery (ParamByName, Params, SQL as lines),
// TfrxParams, TfrxParamItem, TfrxADOQuery (ExecSQL, Query), TfrxADOTable (Table), with the
// database classes TDataSet, TFields and TField they hand out. Published properties come
// from the class metadata.
void frxRegisterQueryScriptClasses(TfsScript *script);

} // namespace tw
