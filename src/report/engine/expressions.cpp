// How a report turns names and expressions into values while it runs.
#include "base/sametext.h"
#include "report/engine/datasets.h"
#include "report/engine/engine.h"
#include "report/engine/expressioncache.h"
#include "report/model/report.h"
#include "report/xml/resources.h"
#include "script/interpreter.h"

namespace tw {

namespace {

enum SysVariable { svDate, svTime, svPage, svPageN, svTotalPages, svTotalPagesN, svLine, svLineN, svCopyName };

// A plain variable of a script: not a procedure, method, class, type or member helper.
bool isScriptVariable(TfsCustomVariable *v)
{
    return v && !dynamic_cast<TfsProcVariable *>(v) && !dynamic_cast<TfsCustomHelper *>(v)
        && !dynamic_cast<TfsClassVariable *>(v) && !dynamic_cast<TfsTypeVariable *>(v);
}

bool isAggregateCall(const QString &name)
{
    const int p = int(name.indexOf(QLatin1Char('(')));
    if (p < 0)
        return false;
    const QString fn = name.left(p).trimmed().toUpper();
    return fn == QLatin1String("SUM") || fn == QLatin1String("MIN") || fn == QLatin1String("MAX")
        || fn == QLatin1String("AVG") || fn == QLatin1String("COUNT");
}

} // namespace

bool TfrxReport::LookupValue(const QString &name, Variant &value)
{
    TfrxDataSet *ds = nullptr;
    QString field;
    GetDatasetAndField(name, ds, field);
    if (ds && !field.isEmpty()) {
        value = ds->GetValue(field);
        if (EngineOptions()->ConvertNulls && value.isNull()) {
            switch (ds->GetFieldType(field)) {
            case fftNumeric: value = Variant(0); break;
            case fftString: value = Variant(QString()); break;
            case fftBoolean: value = Variant(false); break;
            }
        }
        return true;
    }

    int sys = int(m_sysVariables.size()) - 1;
    while (sys >= 0 && !sameText(m_sysVariables.at(sys), name))
        --sys;
    if (sys >= 0) {
        TfrxCustomEngine *e = Engine();
        switch (SysVariable(sys)) {
        case svDate: value = Variant(e->StartDate); break;
        case svTime: value = Variant(e->StartTime); break;
        case svPage: value = Variant(e->LogicalPageNumber()); break;
        case svPageN: value = Variant(e->PreparedPageNumber()); break;
        case svTotalPages: value = Variant(e->LogicalTotalPages()); break;
        case svTotalPagesN: value = Variant(e->TotalPages); break;
        case svLine: value = Variant(e->CurLine); break;
        case svLineN: value = Variant(e->CurLineThrough); break;
        case svCopyName: value = frxGlobalVariables().Get(QStringLiteral("CopyName0")); break;
        }
        return true;
    }

    if (const int i = m_variables.IndexOf(name); i >= 0) {
        value = m_variables.Items(i)->Value;
        // Report variables hold expressions; a multi-line text is taken as it is.
        if (value.isString() && !value.toText().contains(QLatin1String("\r\n")))
            value = Calc(value.toText());
        return true;
    }

    if (const int i = frxGlobalVariables().IndexOf(name); i >= 0) {
        value = frxGlobalVariables().Items(i)->Value;
        return true;
    }

    if (TfsCustomVariable *v = m_script->Find(name); isScriptVariable(v)) {
        value = v->GetValue();
        return true;
    }
    return false;
}

Variant TfrxReport::Calc(const QString &expr, TfsScript *script, bool toolCall)
{
    Variant value;
    if (LookupValue(expr, value))
        return value;

    QString error;
    value = m_expressionCache->Calc(expr, error, script ? script : m_script.get());
    if (error.isEmpty())
        return value;
    if (EngineOptions()->IgnoreDevByZero && error == QLatin1String("Floating point division by zero"))
        return value;
    if (toolCall) {
        error = frxResources().Get(QStringLiteral("clErrorInExp")) + error;
    } else {
        if (!CurObject.isEmpty())
            error = CurObject + QStringLiteral(": ") + error;
        AddError(error);
    }
    throw Error(error);
}

Variant TfrxReport::GetScriptValue(const QString &name)
{
    Variant value;
    if (LookupValue(name, value))
        return value;
    if (isAggregateCall(name))
        return Calc(name);
    AddError(frxResources().Get(QStringLiteral("clUnknownVar")) + QLatin1Char(' ') + name);
    return Variant::null();
}

} // namespace tw
