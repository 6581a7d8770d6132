#include "report/engine/queries.h"

#include "db/query.h"
#include "db/sqltext.h"
#include "script/classregistry.h"
#include "report/engine/dbobjects.h"
#include "report/xml/xmlserializer.h"

#include <QHash>
#include <mutex>

namespace tw {

const EnumInfo &dbFieldTypeEnum()
{
    static const EnumInfo e = [] {
        EnumInfo info{QStringLiteral("TFieldType"), {}};
        for (int t = db::ftUnknown; t <= db::ftSingle; ++t)
            info.names << db::fieldTypeName(db::FieldType(t));
        return info;
    }();
    return e;
}

// ---------------------------------------------------------------------------------------
// Parameters

TW_DEFINE_CLASS(TfrxParamItem, nullptr)
{
    using P = TfrxParamItem;
    ClassBuilder<P>(info)
        .string(QStringLiteral("Name"), [](const P *p) { return p->Name; }, [](P *p, const QString &v) { p->Name = v; })
        .enumeration(QStringLiteral("DataType"), dbFieldTypeEnum(), [](const P *p) { return int(p->DataType); },
                     [](P *p, int v) { p->DataType = db::FieldType(v); }, db::ftUnknown)
        .string(QStringLiteral("Expression"), [](const P *p) { return p->Expression; },
                [](P *p, const QString &v) { p->Expression = v; })
        // The stored form cannot tell Null from an empty text: an empty stored value is
        // read back as Null, the value of a parameter never set.
        .variant(QStringLiteral("Value"), [](const P *p) { return p->Value; },
                 [](P *p, const Variant &v) { p->Value = v.isString() && v.toText().isEmpty() ? Variant::null() : v; });
}

TW_DEFINE_CLASS(TfrxParams, nullptr)
{
    (void)info;
}

TfrxParamItem *TfrxParams::Add()
{
    m_items.push_back(std::make_unique<TfrxParamItem>());
    return m_items.back().get();
}

int TfrxParams::IndexOf(const QString &name) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TfrxParamItem *TfrxParams::Find(const QString &name) const
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : Items(i);
}

void TfrxParams::UpdateParams(const QString &sql)
{
    UpdateParams(db::parseSqlParams(sql).names);
}

void TfrxParams::UpdateParams(const QStringList &markerNames)
{
    // Every new item takes the settings of the first old item of its name. An old item
    // whose name stays is carried into the new list itself rather than copied, so
    // references to it (a script's ParamByName result) stay valid.
    struct Settings {
        db::FieldType dataType;
        Variant value;
        QString expression;
    };
    QHash<QString, Settings> first;
    for (const auto &item : m_items)
        if (!first.contains(item->Name.toUpper()))
            first.insert(item->Name.toUpper(), {item->DataType, item->Value, item->Expression});

    std::vector<std::unique_ptr<TfrxParamItem>> fresh;
    for (const QString &name : markerNames) {
        if (IgnoreDuplicates) {
            bool seen = false;
            for (const auto &item : fresh)
                seen = seen || item->Name.compare(name, Qt::CaseInsensitive) == 0;
            if (seen)
                continue;
        }
        std::unique_ptr<TfrxParamItem> item;
        for (auto &old : m_items)
            if (old && old->Name.compare(name, Qt::CaseInsensitive) == 0) {
                item = std::move(old);
                break;
            }
        if (!item)
            item = std::make_unique<TfrxParamItem>();
        item->Name = name;
        const auto it = first.constFind(name.toUpper());
        if (it != first.constEnd()) {
            item->DataType = it->dataType;
            item->Value = it->value;
            item->Expression = it->expression;
        } else {
            item->DataType = db::ftUnknown;
            item->Value = Variant::null();
            item->Expression.clear();
        }
        fresh.push_back(std::move(item));
    }
    m_items = std::move(fresh);
}

// ---------------------------------------------------------------------------------------
// TfrxCustomDataset

TW_DEFINE_CLASS(TfrxCustomDataset, &TfrxDBDataset::staticClassInfo())
{
    using D = TfrxCustomDataset;
    ClassBuilder<D>(info)
        .string(QStringLiteral("Filter"), [](const D *d) { return d->Filter; }, [](D *d, const QString &v) { d->Filter = v; })
        .boolean(QStringLiteral("Filtered"), [](const D *d) { return d->Filtered; }, [](D *d, bool v) { d->Filtered = v; }, false)
        .reference<TfrxDBDataset>(QStringLiteral("Master"), TfrxDBDataset::staticClassInfo(), &D::Master, &D::SetMaster)
        .string(QStringLiteral("MasterFields"), [](const D *d) { return d->MasterFields(); }, &D::SetMasterFields);
}

TfrxCustomDataset::TfrxCustomDataset(Component *owner) : TfrxDBDataset(owner)
{
    CloseDataSource = true;
}

TfrxCustomDataset::~TfrxCustomDataset() = default;

void TfrxCustomDataset::SetMaster(TfrxDBDataset *v)
{
    if (v == this)
        v = nullptr;
    // The platform link first: when it refuses (a circle of masters) nothing changes.
    SetMasterSource(v ? v->GetDataSet() : nullptr);
    m_master = v;
    SetMasterFields(m_masterFields);
}

void TfrxCustomDataset::SetMasterFields(const QString &v)
{
    m_masterFields = v;
    m_masterPairs.clear();
    auto *master = dynamic_cast<TfrxCustomDBDataSet *>(m_master.get());
    for (const QString &pair : v.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        QString field = eq < 0 ? pair : pair.left(eq);
        const QString param = eq < 0 ? pair : pair.mid(eq + 1);
        if (master)
            field = master->ConvertAlias(field);
        m_masterPairs << field + QLatin1Char('=') + param;
    }
    ApplyMasterFields(m_masterPairs);
}

bool TfrxCustomDataset::Active()
{
    db::DataSet *d = GetDataSet();
    return d && d->isActive();
}

void TfrxCustomDataset::SetActive(bool v)
{
    if (v)
        Open();
    else
        Close();
}

TField *TfrxCustomDataset::FieldObject(const QString &name)
{
    for (const auto &f : m_fieldObjects)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    m_fieldObjects.push_back(std::make_unique<TField>(this, name));
    return m_fieldObjects.back().get();
}

TField *TfrxCustomDataset::FieldByName(const QString &name)
{
    db::DataSet *d = GetDataSet();
    db::DataField *f = d ? d->findField(name) : nullptr;
    if (!f)
        throw Error(QStringLiteral("Field '%1' not found").arg(name));
    return FieldObject(f->fieldName());
}

TDataSet *TfrxCustomDataset::DataSetObject()
{
    if (!m_dataSetObject)
        m_dataSetObject = std::make_unique<TDataSet>(this);
    return m_dataSetObject.get();
}

void TfrxCustomDataset::Last()
{
    db::DataSet *d = GetDataSet();
    if (!d)
        return;
    if (auto *q = dynamic_cast<db::Query *>(d)) {
        q->last();
        return;
    }
    while (!d->eof())
        d->next();
}

// ---------------------------------------------------------------------------------------
// TfrxCustomQuery

TW_DEFINE_CLASS(TfrxCustomQuery, &TfrxCustomDataset::staticClassInfo())
{
    using Q = TfrxCustomQuery;
    ClassBuilder<Q>(info)
        .boolean(QStringLiteral("IgnoreDupParams"), &Q::IgnoreDupParams, &Q::SetIgnoreDupParams, false)
        .stringList(QStringLiteral("SQL"), [](const Q *q) { return frxLinesText(q->SQL()); },
                    [](Q *q, const QString &v) { q->SetSQL(frxTextLines(v)); })
        .string(QStringLiteral("SQLSchema"), [](const Q *q) { return q->SQLSchema; },
                [](Q *q, const QString &v) { q->SQLSchema = v; });
}

namespace {

// The SQL lines of a query as scripts change them.
class TfrxQueryLines : public TStrings {
    TW_OBJECT(TfrxQueryLines)
    explicit TfrxQueryLines(TfrxCustomQuery *query) : m_query(query) {}
    void ScriptFree() override {} // owned by its query
    int Count() const override { return int(m_query->SQL().size()); }
    QString Get(int index) const override
    {
        checkIndex(index);
        return m_query->SQL().at(index);
    }
    void Put(int index, const QString &s) override
    {
        checkIndex(index);
        change([&](QStringList &l) { l[index] = s; });
    }
    Object *GetObject(int) const override { return nullptr; }
    void PutObject(int, Object *) override {}
    void Insert(int index, const QString &s) override
    {
        checkIndex(index, true);
        change([&](QStringList &l) { l.insert(index, s); });
    }
    void Delete(int index) override
    {
        checkIndex(index);
        change([&](QStringList &l) { l.removeAt(index); });
    }
    void Clear() override
    {
        change([](QStringList &l) { l.clear(); });
    }

private:
    template <class F>
    void change(F f)
    {
        QStringList lines = m_query->SQL();
        f(lines);
        m_query->SetSQL(lines);
    }
    TfrxCustomQuery *m_query;
};

TW_DEFINE_CLASS(TfrxQueryLines, &TStrings::staticClassInfo()) {}

} // namespace

TfrxCustomQuery::TfrxCustomQuery(Component *owner) : TfrxCustomDataset(owner) {}

TStrings *TfrxCustomQuery::SQLLines()
{
    if (!m_sqlLines)
        m_sqlLines = std::make_unique<TfrxQueryLines>(this);
    return m_sqlLines.get();
}

TfrxCustomQuery::~TfrxCustomQuery() = default;

void TfrxCustomQuery::SetSQL(const QStringList &lines)
{
    m_sql = lines;
    SQLChanged();
}

TfrxParamItem *TfrxCustomQuery::ParamByName(const QString &name)
{
    if (TfrxParamItem *p = m_params.Find(name))
        return p;
    throw Error(QStringLiteral("Parameter \"%1\" not found").arg(name));
}

void TfrxCustomQuery::DefineProperties(TfrxFiler &filer)
{
    TfrxCustomDataset::DefineProperties(filer);
    TfrxXMLSerializer *s = filer.Serializer();
    filer.DefineProperty(
        QStringLiteral("Parameters"),
        [this, s](TfrxComponentReader &r) {
            s->ReadCollection(r, m_params);
            m_params.UpdateParams(SQL().join(QStringLiteral("\r\n")));
        },
        [this, s](TfrxComponentWriter &w) { s->WriteCollection(w, m_params); }, true);
}

// ---------------------------------------------------------------------------------------
// TfrxCustomTable and TfrxCustomDatabase

TW_DEFINE_CLASS(TfrxCustomTable, &TfrxCustomDataset::staticClassInfo())
{
    using T = TfrxCustomTable;
    ClassBuilder<T>(info)
        .string(QStringLiteral("IndexName"), [](const T *t) { return t->IndexName; }, [](T *t, const QString &v) { t->IndexName = v; })
        .string(QStringLiteral("IndexFieldNames"), [](const T *t) { return t->IndexFieldNames; },
                [](T *t, const QString &v) { t->IndexFieldNames = v; })
        .string(QStringLiteral("TableName"), &T::TableName, &T::SetTableName);
}

TfrxCustomTable::TfrxCustomTable(Component *owner) : TfrxCustomDataset(owner) {}

TW_DEFINE_CLASS(TfrxCustomDatabase, &TfrxDialogComponent::staticClassInfo())
{
    using D = TfrxCustomDatabase;
    ClassBuilder<D>(info)
        .boolean(QStringLiteral("Connected"), &D::Connected, &D::SetConnected, false)
        .string(QStringLiteral("DatabaseName"), [](const D *d) { return d->DatabaseName; },
                [](D *d, const QString &v) { d->DatabaseName = v; })
        .boolean(QStringLiteral("LoginPrompt"), [](const D *d) { return d->LoginPrompt; },
                 [](D *d, bool v) { d->LoginPrompt = v; }, false);
}

void frxRegisterQueryClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        registerClass(&TfrxCustomDataset::staticClassInfo());
        registerClass(&TfrxCustomQuery::staticClassInfo());
        registerClass(&TfrxCustomTable::staticClassInfo());
        registerClass(&TfrxCustomDatabase::staticClassInfo());
    });
}

} // namespace tw
