// The report's script: preparing it for a run, the report functions it gets, and the
// calls of event procedures.
#include "base/formatsettings.h"
#include "base/textformat.h"
#include "report/engine/engine.h"
#include "report/engine/expressioncache.h"
#include "report/engine/previewpages.h"
#include "report/model/bands.h"
#include "report/model/report.h"
#include "report/xml/resources.h"
#include "script/interpreter.h"

namespace tw {

namespace {

// An aggregate's band argument: a band name, or nothing ("0" or a missing argument).
TfrxBand *bandArgument(TfrxReport *report, const Variant &arg)
{
    const QString name = arg.toText().trimmed();
    if (name.isEmpty() || name == QLatin1String("0"))
        return nullptr;
    return dynamic_cast<TfrxBand *>(report->FindObject(name));
}

int flagsArgument(TfrxReport *report, const Variant &arg, TfsScript *scope)
{
    const QString text = arg.toText().trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int flags = text.toInt(&ok);
    return ok ? flags : report->Calc(text, scope).toInt();
}

void addReportFunctions(TfrxReport *report, TfsScript *s)
{
    s->AddMethod(QStringLiteral("function Get(Name: String): Variant"),
                 [report](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) {
                     return report->GetScriptValue(p[0].toText());
                 });
    s->AddMethod(QStringLiteral("procedure Set(Name: String; Value: Variant)"),
                 [report](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) {
                     report->Variables().Set(p[0].toText(), p[1]);
                     return Variant();
                 });
    // Macro functions get their arguments as source texts and evaluate them in the scope
    // of the procedure that called them.
    s->AddMethod(QStringLiteral("macrofunction IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant"),
                 [report](Object *, const ClassInfo *, const QString &, TfsMethodHelper *h) {
                     Variant result = Variant::null();
                     try {
                         const bool yes = var::equals(report->Calc(h->GetVParam(0).toText(), h->Prog), Variant(true));
                         result = report->Calc(h->GetVParam(yes ? 1 : 2).toText(), h->Prog);
                     } catch (const std::exception &) {
                         // An error inside leaves the result unset; Calc has listed it.
                     }
                     return result;
                 });
    for (const char *fn : {"SUM", "AVG", "MIN", "MAX"}) {
        const QString name = QString::fromLatin1(fn);
        s->AddMethod(QStringLiteral("macrofunction %1(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant").arg(name),
                     [report, name](Object *, const ClassInfo *, const QString &, TfsMethodHelper *h) {
                         return report->Engine()->GetAggregateValue(name, h->GetVParam(0).toText().trimmed(),
                                                                    bandArgument(report, h->GetVParam(1)),
                                                                    flagsArgument(report, h->GetVParam(2), h->Prog));
                     });
    }
    s->AddMethod(QStringLiteral("macrofunction COUNT(Band: Variant = 0; Flags: Integer = 0): Variant"),
                 [report](Object *, const ClassInfo *, const QString &, TfsMethodHelper *h) {
                     return report->Engine()->GetAggregateValue(QStringLiteral("COUNT"), QString(),
                                                                bandArgument(report, h->GetVParam(0)),
                                                                flagsArgument(report, h->GetVParam(1), h->Prog));
                 });
}

} // namespace

bool TfrxReport::PrepareScript()
{
    m_expressionCache->Clear();
    m_engine->NotifyList.clear();
    m_expressionCache->SetScriptLanguage(ScriptLanguage);
    m_expressionCache->CaseSensitive = CaseSensitiveExpressions;

    TfsScript *s = m_script.get();
    s->ClearItems(this);
    s->AddedBy = this;
    s->MainProg = true;
    struct ResetAddedBy {
        TfsScript *s;
        ~ResetAddedBy() { s->AddedBy = nullptr; }
    } resetAddedBy{s};

    // A component named like an existing symbol (a library function, a type, a class)
    // leaves the symbol alone.
    for (TfrxComponent *c : AllObjects()) {
        c->BeforeStartReport();
        if (!c->Name().isEmpty() && !s->Find(c->Name()))
            s->AddObject(c->Name(), c);
    }
    if (!s->Find(QStringLiteral("Report")))
        s->AddObject(QStringLiteral("Report"), this);
    if (!s->Find(QStringLiteral("Engine")))
        s->AddObject(QStringLiteral("Engine"), m_engine.get());
    if (!s->Find(QStringLiteral("Outline")))
        s->AddObject(QStringLiteral("Outline"), m_previewPages->Outline());
    if (!s->Find(QStringLiteral("Value")))
        s->AddVariable(QStringLiteral("Value"), QStringLiteral("Variant"), Variant::null());
    if (!s->Find(QStringLiteral("Self")))
        s->AddVariable(QStringLiteral("Self"), QStringLiteral("TfrxView"), Variant::null());
    addReportFunctions(this, s);

    s->Lines = ScriptText;
    s->SyntaxType = ScriptLanguage;
    if (s->Compile())
        return true;
    AddError(format(frxResources().Get(QStringLiteral("clScrError")), {Variant(s->ErrorPos), Variant(s->ErrorMsg)},
                    FormatSettings::current()));
    return false;
}

void TfrxReport::DoNotifyEvent(Object *obj, const QString &eventName, bool runAlways)
{
    if (eventName.isEmpty() || !(runAlways || m_engine->Running))
        return;
    m_script->CallFunction(eventName, Variant::arrayOf({Variant::fromObject(obj)}));
}

void TfrxReport::DoParamEvent(const QString &eventName, Variant &params, bool runAlways)
{
    if (eventName.isEmpty() || !(runAlways || m_engine->Running))
        return;
    m_script->CallFunction1(eventName, params);
}

} // namespace tw
