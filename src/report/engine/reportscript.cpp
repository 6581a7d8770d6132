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

// The compiled script of the last run while the report is put back after each run: a run
// with the same script text and the same objects binds the symbols to its own objects and
// sets the variables back to their compiled values, instead of compiling again. Its
// expressions stay compiled with it.
class TfrxKeptScript {
public:
    QStringList text;
    QString language;
    bool caseSensitive = false;
    QList<QPair<QString, const ClassInfo *>> objects; // every object, in order
    QList<QPair<TfsCustomVariable *, int>> bound;      // a symbol and the index of its object
    QList<QPair<TfsCustomVariable *, Variant>> values;  // the variables as compiled
    TfsCustomVariable *report = nullptr, *engine = nullptr, *outline = nullptr;
    quint64 changes = 0;
};

namespace {

// Variables, parameters and results of a scope and of the procedures in it, with their
// values; only the symbols `owner` added when there is one.
void collectValues(TfsScript *scope, const void *owner, QList<QPair<TfsCustomVariable *, Variant>> &out)
{
    for (int i = 0; i < scope->Count(); ++i) {
        TfsCustomVariable *v = scope->GetItem(i);
        if (owner && v->AddedBy != owner)
            continue;
        if (auto *proc = dynamic_cast<TfsProcVariable *>(v)) {
            collectValues(proc->Prog(), nullptr, out);
            continue;
        }
        if (dynamic_cast<TfsCustomHelper *>(v) || dynamic_cast<TfsClassVariable *>(v)
            || dynamic_cast<TfsTypeVariable *>(v))
            continue;
        auto *text = dynamic_cast<TfsStringVariable *>(v);
        out.append({v, text ? Variant(text->Str()) : v->RawValue()});
    }
}

} // namespace

bool TfrxReport::reuseKeptScript(const QList<TfrxComponent *> &objects)
{
    TfrxKeptScript *k = m_keptScript.get();
    TfsScript *s = m_script.get();
    // Expressions made up at run time (a text set from data) would pile up: start afresh.
    constexpr int kMaxKeptExpressions = 4096;
    if (!k || k->changes != s->Changes() || m_expressionCache->Count() > kMaxKeptExpressions || k->text != ScriptText || k->language != ScriptLanguage
        || k->caseSensitive != CaseSensitiveExpressions || k->objects.size() != objects.size())
        return false;
    for (qsizetype i = 0; i < objects.size(); ++i)
        if (objects.at(i)->Name() != k->objects.at(i).first || objects.at(i)->classInfo() != k->objects.at(i).second)
            return false;
    s->ClearEvents();
    for (const auto &[v, value] : std::as_const(k->values))
        v->SetRawValue(value);
    for (const auto &[v, index] : std::as_const(k->bound))
        v->SetRawValue(Variant::fromObject(objects.at(index)));
    if (k->report)
        k->report->SetRawValue(Variant::fromObject(this));
    if (k->engine)
        k->engine->SetRawValue(Variant::fromObject(m_engine.get()));
    if (k->outline)
        k->outline->SetRawValue(Variant::fromObject(m_previewPages->Outline()));
    s->MainProg = true;
    return true;
}

bool TfrxReport::PrepareScript()
{
    m_engine->NotifyList.clear();
    const QList<TfrxComponent *> objects = AllObjects();
    if (m_keepStateBetweenRuns && reuseKeptScript(objects)) {
        for (TfrxComponent *c : objects)
            c->BeforeStartReport();
        return true;
    }
    m_keptScript.reset();
    m_expressionCache->Clear();
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

    auto kept = std::make_shared<TfrxKeptScript>();
    // A component named like an existing symbol (a library function, a type, a class)
    // leaves the symbol alone.
    for (int i = 0; i < objects.size(); ++i) {
        TfrxComponent *c = objects.at(i);
        c->BeforeStartReport();
        kept->objects.append({c->Name(), c->classInfo()});
        if (!c->Name().isEmpty() && !s->Find(c->Name()))
            kept->bound.append({s->AddObject(c->Name(), c), i});
    }
    if (!s->Find(QStringLiteral("Report")))
        kept->report = s->AddObject(QStringLiteral("Report"), this);
    if (!s->Find(QStringLiteral("Engine")))
        kept->engine = s->AddObject(QStringLiteral("Engine"), m_engine.get());
    if (!s->Find(QStringLiteral("Outline")))
        kept->outline = s->AddObject(QStringLiteral("Outline"), m_previewPages->Outline());
    if (!s->Find(QStringLiteral("Value")))
        s->AddVariable(QStringLiteral("Value"), QStringLiteral("Variant"), Variant::null());
    if (!s->Find(QStringLiteral("Self")))
        s->AddVariable(QStringLiteral("Self"), QStringLiteral("TfrxView"), Variant::null());
    addReportFunctions(this, s);

    s->Lines = ScriptText;
    s->SyntaxType = ScriptLanguage;
    if (s->Compile()) {
        if (m_keepStateBetweenRuns) {
            kept->text = ScriptText;
            kept->language = ScriptLanguage;
            kept->caseSensitive = CaseSensitiveExpressions;
            collectValues(s, this, kept->values);
            kept->changes = s->Changes();
            m_keptScript = std::move(kept);
        }
        return true;
    }
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
