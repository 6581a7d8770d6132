#include "report/engine/datasetclasses.h"

#include "report/engine/datasets.h"
#include "report/engine/scriptclasshelpers.h"
#include "script/classregistry.h"
#include "script/interpreter.h"

namespace tw {

namespace {

using Params = QVector<Variant>;

QString enumList(const EnumInfo &e)
{
    return e.names.join(QStringLiteral(", "));
}

} // namespace

void frxRegisterDataSetClasses(TfsScript *script)
{
    if (!script)
        return;
    script->AddEnum(rangeBeginEnum().name, enumList(rangeBeginEnum()));
    script->AddEnum(rangeEndEnum().name, enumList(rangeEndEnum()));
    script->AddEnum(fieldTypeEnum().name, enumList(fieldTypeEnum()));
    // Locate's options; the database classes' module registers the same set when present.
    script->AddEnumSet(QStringLiteral("TLocateOptions"), QStringLiteral("loCaseInsensitive, loPartialKey"));

    if (TfsClassVariable *c = classToFill(script, TfrxDataSet::staticClassInfo(), QStringLiteral("TfrxDialogComponent"), "FieldsCount")) {
        auto method = [c](const char *syntax, std::function<Variant(TfrxDataSet *, Params &)> fn) {
            c->AddMethod(QString::fromLatin1(syntax),
                         [fn](Object *inst, const ClassInfo *, const QString &, Params &p) {
                             return fn(selfOf<TfrxDataSet>(inst), p);
                         });
        };
        method("procedure Open", [](TfrxDataSet *d, Params &) {
            d->Open();
            return Variant::null();
        });
        method("procedure Close", [](TfrxDataSet *d, Params &) {
            d->Close();
            return Variant::null();
        });
        method("procedure First", [](TfrxDataSet *d, Params &) {
            d->First();
            return Variant::null();
        });
        method("procedure Next", [](TfrxDataSet *d, Params &) {
            d->Next();
            return Variant::null();
        });
        method("procedure Prior", [](TfrxDataSet *d, Params &) {
            d->Prior();
            return Variant::null();
        });
        method("function Eof: Boolean", [](TfrxDataSet *d, Params &) { return Variant(d->Eof()); });
        method("function FieldsCount: Integer", [](TfrxDataSet *d, Params &) { return Variant(d->FieldsCount()); });
        method("function HasField(const fName: String): Boolean",
               [](TfrxDataSet *d, Params &p) { return Variant(d->HasField(p[0].toText())); });
        method("function IsBlobField(const fName: String): Boolean",
               [](TfrxDataSet *d, Params &p) { return Variant(d->IsBlobField(p[0].toText())); });
        method("function RecordCount: Integer", [](TfrxDataSet *d, Params &) { return Variant(d->RecordCount()); });
        method("procedure GetFieldList(List: TStrings)", [](TfrxDataSet *d, Params &p) {
            Object *o = p[0].toObject();
            auto *list = dynamic_cast<TStrings *>(o);
            if (o && !list)
                throw Error(QStringLiteral("Invalid class typecast"));
            if (list) {
                QStringList names;
                d->GetFieldList(names);
                list->Clear();
                for (const QString &n : names)
                    list->Add(n);
            }
            return Variant::null();
        });
        c->AddProperty(QStringLiteral("RecNo"), QStringLiteral("Integer"),
                       [](Object *inst, const ClassInfo *, const QString &) { return Variant(selfOf<TfrxDataSet>(inst)->RecNo); });
        auto indexed = [c](const char *name, const char *type, std::function<Variant(TfrxDataSet *, const QString &)> fn) {
            c->AddIndexProperty(QString::fromLatin1(name), QStringLiteral("String"), QString::fromLatin1(type),
                                [fn](Object *inst, const ClassInfo *, const QString &, Params &p) {
                                    return fn(selfOf<TfrxDataSet>(inst), p[0].toText());
                                },
                                true);
        };
        indexed("DisplayText", "String", [](TfrxDataSet *d, const QString &f) { return Variant(d->GetDisplayText(f)); });
        indexed("DisplayWidth", "Integer", [](TfrxDataSet *d, const QString &f) { return Variant(d->GetDisplayWidth(f)); });
        indexed("FieldType", "TfrxFieldType", [](TfrxDataSet *d, const QString &f) { return Variant(int(d->GetFieldType(f))); });
        indexed("Value", "Variant", [](TfrxDataSet *d, const QString &f) { return d->GetValue(f); });
    }

    classToFill(script, TfrxUserDataSet::staticClassInfo(), QStringLiteral("TfrxDataSet"), nullptr);
    classToFill(script, TfrxCustomDBDataSet::staticClassInfo(), QStringLiteral("TfrxDataSet"), nullptr);

    if (TfsClassVariable *c = classToFill(script, TfrxDBDataset::staticClassInfo(), QStringLiteral("TfrxCustomDBDataSet"), "Locate")) {
        c->AddMethod(QStringLiteral("function Locate(const KeyFields: String; const KeyValues: Variant; Options: TLocateOptions): Boolean"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         return Variant(selfOf<TfrxDBDataset>(inst)->Locate(p[0].toText(), p[1], locateOptions(p, 2)));
                     });
        c->AddMethod(QStringLiteral("function IsEmpty: Boolean"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &) {
                         return Variant(selfOf<TfrxDBDataset>(inst)->IsEmpty());
                     });
        c->AddMethod(QStringLiteral("function RecordCount: Integer"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &) {
                         return Variant(selfOf<TfrxDBDataset>(inst)->RecordCount());
                     });
    }
}

} // namespace tw
