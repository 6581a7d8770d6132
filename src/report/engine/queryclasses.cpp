#include "report/engine/queryclasses.h"

#include "report/engine/databaseobjects.h"
#include "report/engine/dbobjects.h"
#include "report/engine/queries.h"
#include "report/engine/scriptclasshelpers.h"
#include "script/classregistry.h"

namespace tw {

namespace {

using Params = QVector<Variant>;

template <class T>
void addMethod(TfsClassVariable *c, const char *syntax, std::function<Variant(T *, Params &)> fn)
{
    c->AddMethod(QString::fromLatin1(syntax),
                 [fn](Object *inst, const ClassInfo *, const QString &, Params &p) { return fn(selfOf<T>(inst), p); });
}

template <class T>
void addReadOnly(TfsClassVariable *c, const char *name, const char *type, std::function<Variant(T *)> get)
{
    c->AddProperty(QString::fromLatin1(name), QString::fromLatin1(type),
                   [get](Object *inst, const ClassInfo *, const QString &) { return get(selfOf<T>(inst)); });
}

} // namespace

void frxRegisterQueryScriptClasses(TfsScript *script)
{
    if (!script)
        return;
    fsRegisterDBClasses(script);

    if (TfsClassVariable *c = classToFill(script, TfrxParamItem::staticClassInfo(), QStringLiteral("TPersistent"), nullptr)) {
        // The value as it is: the stored form's reading of an empty text does not apply.
        c->AddProperty(
            QStringLiteral("Value"), QStringLiteral("Variant"),
            [](Object *inst, const ClassInfo *, const QString &) { return selfOf<TfrxParamItem>(inst)->Value; },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) { selfOf<TfrxParamItem>(inst)->Value = v; });
    }
    if (TfsClassVariable *c = classToFill(script, TfrxParams::staticClassInfo(), QStringLiteral("TPersistent"), "Items")) {
        c->AddDefaultProperty(QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TfrxParamItem"),
                              [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                                  TfrxParams *params = selfOf<TfrxParams>(inst);
                                  const int i = p[0].toInt();
                                  if (i < 0 || i >= params->Count())
                                      throw Error(QStringLiteral("List index out of bounds (%1)").arg(i));
                                  return Variant::fromObject(params->Items(i));
                              },
                              true);
        addReadOnly<TfrxParams>(c, "Count", "Integer", [](TfrxParams *p) { return Variant(p->Count()); });
    }

    if (TfsClassVariable *c = classToFill(script, TfrxCustomDataset::staticClassInfo(), QStringLiteral("TfrxDBDataset"), "FieldByName")) {
        addMethod<TfrxCustomDataset>(c, "procedure Last", [](TfrxCustomDataset *d, Params &) {
            d->Last();
            return Variant::null();
        });
        addMethod<TfrxCustomDataset>(c, "function FieldByName(Name: String): TField", [](TfrxCustomDataset *d, Params &p) {
            return Variant::fromObject(d->FieldByName(p[0].toText()));
        });
        addReadOnly<TfrxCustomDataset>(c, "DataSet", "TDataSet", [](TfrxCustomDataset *d) { return Variant::fromObject(d->DataSetObject()); });
        addReadOnly<TfrxCustomDataset>(c, "Fields", "TFields",
                                       [](TfrxCustomDataset *d) { return Variant::fromObject(d->DataSetObject()->Fields()); });
        c->AddProperty(
            QStringLiteral("Active"), QStringLiteral("Boolean"),
            [](Object *inst, const ClassInfo *, const QString &) { return Variant(selfOf<TfrxCustomDataset>(inst)->Active()); },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) { selfOf<TfrxCustomDataset>(inst)->SetActive(v.toBool()); });
    }

    classToFill(script, TfrxCustomTable::staticClassInfo(), QStringLiteral("TfrxCustomDataset"), nullptr);
    if (TfsClassVariable *c = classToFill(script, TfrxCustomQuery::staticClassInfo(), QStringLiteral("TfrxCustomDataset"), "ParamByName")) {
        addMethod<TfrxCustomQuery>(c, "function ParamByName(Name: String): TfrxParamItem", [](TfrxCustomQuery *q, Params &p) {
            return Variant::fromObject(q->ParamByName(p[0].toText()));
        });
        addReadOnly<TfrxCustomQuery>(c, "Params", "TfrxParams", [](TfrxCustomQuery *q) { return Variant::fromObject(&q->Params()); });
    }
    // The lines are an object scripts change in place (SQL.Text := ..., SQL.Add ...). Every
    // query class lists its published SQL text itself, so each one gets the lines.
    for (const ClassInfo *ci : registeredClasses())
        if (ci->inheritsFrom(&TfrxCustomQuery::staticClassInfo()))
            if (TfsClassVariable *c = script->FindClass(ci->name))
                addReadOnly<TfrxCustomQuery>(c, "SQL", "TStrings", [](TfrxCustomQuery *q) { return Variant::fromObject(q->SQLLines()); });
    classToFill(script, TfrxCustomDatabase::staticClassInfo(), QStringLiteral("TfrxDialogComponent"), nullptr);

    classToFill(script, TfrxADODatabase::staticClassInfo(), QStringLiteral("TfrxCustomDatabase"), nullptr);
    if (TfsClassVariable *c = classToFill(script, TfrxADOTable::staticClassInfo(), QStringLiteral("TfrxCustomTable"), "Table"))
        addReadOnly<TfrxADOTable>(c, "Table", "TDataSet", [](TfrxADOTable *t) { return Variant::fromObject(t->DataSetObject()); });
    if (TfsClassVariable *c = classToFill(script, TfrxADOQuery::staticClassInfo(), QStringLiteral("TfrxCustomQuery"), "ExecSQL")) {
        addMethod<TfrxADOQuery>(c, "procedure ExecSQL", [](TfrxADOQuery *q, Params &) {
            q->ExecSQL();
            return Variant::null();
        });
        addReadOnly<TfrxADOQuery>(c, "Query", "TDataSet", [](TfrxADOQuery *q) { return Variant::fromObject(q->DataSetObject()); });
    }
}

} // namespace tw
