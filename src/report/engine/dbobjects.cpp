#include "report/engine/dbobjects.h"

#include "base/datetime.h"
#include "db/dataset.h"
#include "db/query.h"
#include "report/engine/queries.h"
#include "report/engine/scriptclasshelpers.h"

namespace tw {

namespace {

using Params = QVector<Variant>;

[[noreturn]] void readOnly()
{
    throw Error(QStringLiteral("Cannot modify a read-only dataset"));
}

db::DataSet &dataOf(TfrxCustomDataset *owner)
{
    db::DataSet *d = owner->GetDataSet();
    if (!d)
        throw Error(QStringLiteral("Dataset not open"));
    return *d;
}

} // namespace

// ---------------------------------------------------------------------------------------
// TField

TW_DEFINE_CLASS(TField, &TObject::staticClassInfo())
{
    (void)info;
}

TField::TField(TfrxCustomDataset *owner, const QString &fieldName) : m_owner(owner), m_name(fieldName) {}

db::DataField &TField::field() const
{
    db::DataField *f = dataOf(m_owner).findField(m_name);
    if (!f)
        throw Error(QStringLiteral("Field '%1' not found").arg(m_name));
    return *f;
}

Variant TField::AsVariant() const
{
    return field().asVariant();
}

QString TField::AsString() const
{
    return field().asString();
}

qint64 TField::AsInteger() const
{
    const Variant v = field().asVariant();
    return v.isNull() ? 0 : v.toInt64();
}

double TField::AsFloat() const
{
    const Variant v = field().asVariant();
    return v.isNull() ? 0.0 : v.toDouble();
}

bool TField::AsBoolean() const
{
    const Variant v = field().asVariant();
    return !v.isNull() && v.toBool();
}

bool TField::IsNull() const
{
    return field().isNull();
}

// ---------------------------------------------------------------------------------------
// TFields and TDataSet

TW_DEFINE_CLASS(TFields, &TObject::staticClassInfo())
{
    (void)info;
}

int TFields::Count() const
{
    db::DataSet *d = m_owner->GetDataSet();
    return d ? d->fieldCount() : 0;
}

TField *TFields::Field(int index) const
{
    const QStringList names = dataOf(m_owner).fieldNames();
    if (index < 0 || index >= names.size())
        throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_owner->FieldObject(names[index]);
}

TW_DEFINE_CLASS(TDataSet, &TObject::staticClassInfo())
{
    (void)info;
}

TDataSet::TDataSet(TfrxCustomDataset *owner) : m_owner(owner), m_fields(std::make_unique<TFields>(owner)) {}

TDataSet::~TDataSet() = default;

// ---------------------------------------------------------------------------------------
// Script classes

void fsRegisterDBClasses(TfsScript *script)
{
    if (!script)
        return;
    script->AddEnum(dbFieldTypeEnum().name, dbFieldTypeEnum().names.join(QStringLiteral(", ")));
    if (!script->Find(QStringLiteral("TLocateOptions")))
        script->AddEnumSet(QStringLiteral("TLocateOptions"), QStringLiteral("loCaseInsensitive, loPartialKey"));

    if (TfsClassVariable *c = script->AddClass(&TField::staticClassInfo(), QStringLiteral("TObject"))) {
        auto prop = [c](const char *name, const char *type, std::function<Variant(TField *)> get) {
            c->AddProperty(
                QString::fromLatin1(name), QString::fromLatin1(type),
                [get](Object *inst, const ClassInfo *, const QString &) { return get(selfOf<TField>(inst)); },
                [](Object *, const ClassInfo *, const QString &, const Variant &) { readOnly(); });
        };
        prop("AsBoolean", "Boolean", [](TField *f) { return Variant(f->AsBoolean()); });
        prop("AsCurrency", "Currency", [](TField *f) { return Variant(f->AsFloat()); });
        prop("AsDateTime", "TDateTime", [](TField *f) { return Variant(f->AsFloat()); });
        prop("AsFloat", "Double", [](TField *f) { return Variant(f->AsFloat()); });
        prop("AsInteger", "Integer", [](TField *f) { return Variant(f->AsInteger()); });
        prop("AsString", "String", [](TField *f) { return Variant(f->AsString()); });
        prop("AsVariant", "Variant", [](TField *f) { return f->AsVariant(); });
        prop("Value", "Variant", [](TField *f) { return f->AsVariant(); });
        prop("OldValue", "Variant", [](TField *f) { return f->AsVariant(); });
        prop("DataType", "TFieldType", [](TField *f) { return Variant(int(f->field().dataType())); });
        prop("DisplayName", "String", [](TField *f) { return Variant(f->field().fieldName()); });
        prop("FieldName", "String", [](TField *f) { return Variant(f->field().fieldName()); });
        prop("DisplayText", "String", [](TField *f) { return Variant(f->field().displayText()); });
        prop("IsNull", "Boolean", [](TField *f) { return Variant(f->IsNull()); });
        prop("Size", "Integer", [](TField *f) { return Variant(f->field().size()); });
    }

    if (TfsClassVariable *c = script->AddClass(&TFields::staticClassInfo(), QStringLiteral("TObject"))) {
        c->AddDefaultProperty(QStringLiteral("Fields"), QStringLiteral("Integer"), QStringLiteral("TField"),
                              [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                                  return Variant::fromObject(selfOf<TFields>(inst)->Field(p[0].toInt()));
                              },
                              true);
        c->AddProperty(QStringLiteral("Count"), QStringLiteral("Integer"),
                       [](Object *inst, const ClassInfo *, const QString &) { return Variant(selfOf<TFields>(inst)->Count()); });
    }

    if (TfsClassVariable *c = script->AddClass(&TDataSet::staticClassInfo(), QStringLiteral("TObject"))) {
        auto method = [c](const char *syntax, std::function<Variant(TfrxCustomDataset *, Params &)> fn) {
            c->AddMethod(QString::fromLatin1(syntax), [fn](Object *inst, const ClassInfo *, const QString &, Params &p) {
                return fn(selfOf<TDataSet>(inst)->owner(), p);
            });
        };
        auto move = [method](const char *syntax, void (*fn)(TfrxCustomDataset *)) {
            method(syntax, [fn](TfrxCustomDataset *d, Params &) {
                fn(d);
                return Variant::null();
            });
        };
        move("procedure Open", [](TfrxCustomDataset *d) { dataOf(d).open(); });
        move("procedure Close", [](TfrxCustomDataset *d) { dataOf(d).close(); });
        move("procedure First", [](TfrxCustomDataset *d) { dataOf(d).first(); });
        move("procedure Last", [](TfrxCustomDataset *d) { d->Last(); });
        move("procedure Next", [](TfrxCustomDataset *d) { dataOf(d).next(); });
        move("procedure Prior", [](TfrxCustomDataset *d) { dataOf(d).prior(); });
        move("procedure EnableControls", [](TfrxCustomDataset *) {});
        move("procedure DisableControls", [](TfrxCustomDataset *) {});
        for (const char *change : {"procedure Cancel", "procedure Delete", "procedure Post", "procedure Append",
                                   "procedure Insert", "procedure Edit"})
            move(change, [](TfrxCustomDataset *) { readOnly(); });
        method("function FieldByName(const FieldName: string): TField", [](TfrxCustomDataset *d, Params &p) {
            return Variant::fromObject(d->FieldByName(p[0].toText()));
        });
        method("function IsEmpty: Boolean", [](TfrxCustomDataset *d, Params &) { return Variant(d->IsEmpty()); });
        method("procedure GetFieldNames(List: TStrings)", [](TfrxCustomDataset *d, Params &p) {
            if (auto *list = dynamic_cast<TStrings *>(p[0].toObject())) {
                list->Clear();
                for (const QString &n : dataOf(d).fieldNames())
                    list->Add(n);
            }
            return Variant::null();
        });
        method("function Locate(const KeyFields: String; const KeyValues: Variant; Options: TLocateOptions): Boolean",
               [](TfrxCustomDataset *d, Params &p) {
                   return Variant(d->Locate(p[0].toText(), p[1], locateOptions(p, 2)));
               });
        auto prop = [c](const char *name, const char *type, std::function<Variant(TfrxCustomDataset *)> get) {
            c->AddProperty(QString::fromLatin1(name), QString::fromLatin1(type),
                           [get](Object *inst, const ClassInfo *, const QString &) { return get(selfOf<TDataSet>(inst)->owner()); });
        };
        prop("Bof", "Boolean", [](TfrxCustomDataset *d) {
            auto *q = dynamic_cast<db::Query *>(d->GetDataSet());
            return Variant(q ? q->bof() : false);
        });
        prop("Eof", "Boolean", [](TfrxCustomDataset *d) { return Variant(dataOf(d).eof()); });
        prop("FieldCount", "Integer", [](TfrxCustomDataset *d) { return Variant(dataOf(d).fieldCount()); });
        prop("RecordCount", "Integer", [](TfrxCustomDataset *d) { return Variant(dataOf(d).recordCount()); });
        prop("Fields", "TFields", [](TfrxCustomDataset *d) { return Variant::fromObject(d->DataSetObject()->Fields()); });
        c->AddProperty(
            QStringLiteral("Active"), QStringLiteral("Boolean"),
            [](Object *inst, const ClassInfo *, const QString &) { return Variant(selfOf<TDataSet>(inst)->owner()->Active()); },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
                selfOf<TDataSet>(inst)->owner()->SetActive(v.toBool());
            });
    }
}

} // namespace tw
