#include "report/xml/xmlserializer.h"

#include "base/codepage.h"
#include "base/fastcast.h"
#include "base/numberformat.h"
#include "base/sametext.h"
#include "report/xml/resources.h"
#include "report/xml/xmldocument.h"

#include <QIODevice>
#include <QVarLengthArray>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tw {

namespace {

const QString kName = QStringLiteral("Name");
const QString kItem = QStringLiteral("item");

const ClassInfo *classOf(const Object *obj)
{
    return obj ? obj->classInfo() : nullptr;
}

QString withoutFinalLineBreak(QString text)
{
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text;
}

// Bytes of an old-kind value re-read as UTF-8.
QString reReadUtf8(const QString &value)
{
    return QString::fromUtf8(codepage::toAnsi(value));
}

qint64 toInteger(const QString &raw, bool wide = false)
{
    qint64 v = 0;
    if (!TryParseXMLInteger(raw, v, wide))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(raw));
    return v;
}

double toFloat(const QString &raw)
{
    double quick = 0;
    if (readPlainFloat(raw, quick))
        return quick;
    QString s;
    s.reserve(raw.size());
    for (QChar c : raw) {
        if (c == QLatin1Char(' '))
            continue;
        s.append(c == QLatin1Char(',') ? QLatin1Char('.') : c);
    }
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(raw));
    return v;
}

// Collects the defined properties of an object while writing.
class WriteFiler : public TfrxFiler {
public:
    WriteFiler(TfrxXMLSerializer *s, TfrxComponentWriter &w) : m_serializer(s), m_writer(w) {}
    void DefineProperty(const QString &name, Reader, Writer writer, bool hasData) override
    {
        if (!hasData || !writer)
            return;
        m_writer.WriteName(name);
        writer(m_writer);
    }
    TfrxXMLSerializer *Serializer() const override { return m_serializer; }

private:
    TfrxXMLSerializer *m_serializer;
    TfrxComponentWriter &m_writer;
};

// Hands one entry of a component stream to the defined property of its name.
class ReadFiler : public TfrxFiler {
public:
    ReadFiler(TfrxXMLSerializer *s, TfrxComponentReader &r, const QString &name)
        : m_serializer(s), m_reader(r), m_name(name) {}
    void DefineProperty(const QString &name, Reader reader, Writer, bool) override
    {
        if (m_handled || !reader || name.compare(m_name, Qt::CaseInsensitive) != 0)
            return;
        m_handled = true;
        reader(m_reader);
    }
    TfrxXMLSerializer *Serializer() const override { return m_serializer; }
    bool handled() const { return m_handled; }

private:
    TfrxXMLSerializer *m_serializer;
    TfrxComponentReader &m_reader;
    QString m_name;
    bool m_handled = false;
};

// Restores a component's writing flag on every way out.
class WritingMark {
public:
    explicit WritingMark(Component *c) : m_c(c), m_was(c && c->IsWriting())
    {
        if (m_c)
            m_c->SetWriting(true);
    }
    ~WritingMark()
    {
        if (m_c)
            m_c->SetWriting(m_was);
    }

private:
    Component *m_c;
    bool m_was;
};

} // namespace

TfrxXMLSerializer::TfrxXMLSerializer(QIODevice *stream) : m_stream(stream) {}

void TfrxXMLSerializer::AddError(const QString &message)
{
    const auto less = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
    const auto it = std::lower_bound(m_errors.begin(), m_errors.end(), message, less);
    if (it != m_errors.end() && it->compare(message, Qt::CaseInsensitive) == 0)
        return;
    m_errors.insert(it, message);
}

void TfrxXMLSerializer::SetFormatSettings(const FormatSettings &fs)
{
    m_format = fs;
    m_haveFormat = true;
}

QString TfrxXMLSerializer::floatText(double v) const
{
    const FormatSettings &fs = m_haveFormat ? m_format : FormatSettings::current();
    // The general form goes to an exponent below 0.0001; attribute values stay in fixed
    // notation down to 0.00001.
    const double a = std::fabs(v);
    if (a >= 0.00001 && a < 0.0001) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.14e", a);
        QString digits;
        const char *p = buf;
        for (; *p && *p != 'e'; ++p)
            if (*p >= '0' && *p <= '9')
                digits += QLatin1Char(*p);
        const int exp10 = *p ? std::atoi(p + 1) : 0;
        while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        if (exp10 == -5) {
            QString out = v < 0 ? QStringLiteral("-0") : QStringLiteral("0");
            out += fs.decimalSeparator;
            out += QLatin1String("0000");
            out += digits;
            return out;
        }
    }
    return floatToStr(v, fs);
}

// ---------------------------------------------------------------------------------------
// Writing

QString TfrxXMLSerializer::ObjToXML(Object *obj, const QString &prefix, Object *ancestor)
{
    QString out;
    if (!obj || !obj->classInfo())
        return out;
    out.reserve(256); // grown once or twice, not by every attribute
    auto *comp = (obj ? obj->asComponent() : nullptr);
    WritingMark mark(comp);
    if (comp && !ancestor && OnGetAncestor)
        ancestor = OnGetAncestor(comp->Name());
    // An ancestor of another class cannot be compared property by property.
    if (ancestor && (!ancestor->classInfo() || !ancestor->classInfo()->inheritsFrom(obj->classInfo())))
        ancestor = nullptr;
    writeProperties(obj, prefix, ancestor, out);

    if (comp && comp->hasMemoText()) {
        const QString text = withoutFinalLineBreak(comp->memoText());
        auto *ancComp = (ancestor ? ancestor->asComponent() : nullptr);
        if (!ancComp || withoutFinalLineBreak(ancComp->memoText()) != text)
            out += QLatin1Char(' ') + prefix + QLatin1String("Text=\"") + EncodeXMLValue(text) + QLatin1Char('"');
    }

    const QByteArray data = propData(obj);
    if (!data.isEmpty() && (!ancestor || propData(ancestor) != data))
        out += QLatin1Char(' ') + prefix + QLatin1String("PropData=\"") + BytesToHex(data) + QLatin1Char('"');
    return out;
}

void TfrxXMLSerializer::writeProperties(Object *obj, const QString &prefix, Object *ancestor, QString &out)
{
    const bool isComponent = (obj ? obj->asComponent() : nullptr) != nullptr;
    const bool all = m_serializeDefaults;
    auto put = [&](const QString &name, const QString &value) {
        out += QLatin1Char(' ');
        out += prefix;
        out += name;
        out += QLatin1String("=\"");
        out += value;
        out += QLatin1Char('"');
    };
    for (const PropInfo *p : obj->classInfo()->properties()) {
        if (isComponent && p->name.size() == kName.size() && p->name.compare(kName, Qt::CaseInsensitive) == 0)
            continue;
        if (!p->isStored(obj))
            continue;
        switch (p->kind) {
        case PropKind::Integer:
        case PropKind::Char:
        case PropKind::WideChar:
        case PropKind::Set:
        case PropKind::Int64:
        case PropKind::Enumeration: {
            const qint64 v = p->ordinal(obj);
            if (!all) {
                if (ancestor ? v == p->ordinal(ancestor) : (p->defaultValue && *p->defaultValue == v))
                    break;
            }
            if (p->kind == PropKind::Enumeration && p->enumInfo) {
                const QString ident = p->enumInfo->nameOf(v);
                put(p->name, ident.isEmpty() ? QString::number(v) : ident);
            } else {
                put(p->name, QString::number(v));
            }
            break;
        }
        case PropKind::Float: {
            const double v = p->get(obj).toDouble();
            if (!all && ancestor && std::fabs(v - p->get(ancestor).toDouble()) < 0.000001)
                break;
            put(p->name, floatText(v));
            break;
        }
        case PropKind::String:
        case PropKind::WideString: {
            const QString v = p->get(obj).toText();
            if (!all && (ancestor ? v == p->get(ancestor).toText() : v.isEmpty()))
                break;
            put(p->name, EncodeXMLValue(v));
            break;
        }
        case PropKind::Variant: {
            const QString v = p->get(obj).toText();
            if (!all && ancestor && v == p->get(ancestor).toText())
                break;
            put(p->name, EncodeXMLValue(v));
            break;
        }
        case PropKind::ObjectRef: {
            Object *refObj = p->object(obj);
            auto *ref = refObj ? refObj->asComponent() : nullptr;
            if (!all) {
                if (ancestor) {
                    Object *arefObj = p->object(ancestor);
                    auto *aref = arefObj ? arefObj->asComponent() : nullptr;
                    if (!ref && !aref)
                        break;
                    if (ref && aref && ref->Name().compare(aref->Name(), Qt::CaseInsensitive) == 0)
                        break;
                    if (!ref) {
                        put(p->name, QStringLiteral("nil"));
                        break;
                    }
                } else if (!ref) {
                    break;
                }
            }
            put(p->name, EncodeXMLValue(ReferenceName(ref)));
            break;
        }
        case PropKind::StringList: {
            const QString v = withoutFinalLineBreak(p->get(obj).toText());
            if (!all && ancestor && v == withoutFinalLineBreak(p->get(ancestor).toText()))
                break;
            put(p->name + QLatin1String(".Text"), EncodeXMLValue(v));
            break;
        }
        case PropKind::Nested: {
            Object *nested = p->object(obj);
            if (!nested)
                break;
            out += ObjToXML(nested, prefix + p->name + QLatin1Char('.'), ancestor ? p->object(ancestor) : nullptr);
            break;
        }
        case PropKind::WideStringList:
        case PropKind::Event: break;
        }
    }
}

QByteArray TfrxXMLSerializer::propData(Object *obj)
{
    auto *dp = fastCast<TfrxDefinedProperties *>(obj);
    if (!dp)
        return QByteArray();
    TfrxComponentWriter writer;
    WriteFiler filer(this, writer);
    dp->DefineProperties(filer);
    return writer.Data();
}

QString TfrxXMLSerializer::ReferenceName(const Component *c) const
{
    if (!c)
        return QString();
    const Component *owner = c->Owner();
    if (!owner || owner == m_owner || (m_owner && m_owner->isReport() && owner == m_owner->Owner()))
        return c->Name();
    switch (owner->containerKind()) {
    case Component::ContainerKind::Host: return owner->Name() + QLatin1Char('.') + c->Name();
    case Component::ContainerKind::Frame:
        if (owner->Owner())
            return owner->Owner()->Name() + QLatin1Char('.') + owner->Name() + QLatin1Char('.') + c->Name();
        return owner->Name() + QLatin1Char('.') + c->Name();
    case Component::ContainerKind::None: break;
    }
    return QString();
}

void TfrxXMLSerializer::WriteCollection(TfrxComponentWriter &writer, const TfrxCollection &collection)
{
    writer.WriteListBegin();
    for (int i = 0; i < collection.Count(); ++i) {
        writer.WriteListBegin();
        writer.WriteString(ObjToXML(collection.Item(i)));
        writer.WriteListEnd();
    }
    writer.WriteListEnd();
}

void TfrxXMLSerializer::writeItem(Component *c, TfrxXMLItem *item, bool isRoot, bool saveChildren, bool streaming)
{
    item->SetName(c->isInherited() && !streaming ? QStringLiteral("inherited") : c->classInfo()->name);
    QString text;
    if (!isRoot)
        text = QLatin1String("Name=\"") + EncodeXMLValue(c->Name()) + QLatin1Char('"');
    text += ObjToXML(c);
    item->SetText(text);
    for (const auto &[name, list] : c->writtenElementCollections())
        WriteCollectionElement(item->Add(name), *list);
    if (!saveChildren)
        return;
    for (Component *child : c->serializedChildren())
        writeItem(child, item->Add(), false, saveChildren, streaming);
}

void TfrxXMLSerializer::WriteRootComponent(Component *root, bool saveChildren, bool streaming, TfrxXMLItem *item)
{
    if (item) {
        writeItem(root, item, true, saveChildren, streaming);
        return;
    }
    TfrxXMLDocument doc;
    doc.SetAutoIndent(true);
    writeItem(root, doc.Root(), true, saveChildren, streaming);
    doc.SaveToStream(m_stream);
}

QString TfrxXMLSerializer::WriteComponentStr(Component *c)
{
    return c->classInfo()->name + ObjToXML(c);
}

void TfrxXMLSerializer::WriteComponent(Component *c)
{
    const QByteArray bytes = '<' + WriteComponentStr(c).toUtf8() + "/>";
    if (m_stream->write(bytes) != bytes.size())
        throw EInOutError(m_stream->errorString());
}

// ---------------------------------------------------------------------------------------
// Reading

namespace {

// Calls f(name, raw) for each name="value" pair of an attribute string.
template <class F>
void forEachAttribute(const QString &text, F &&f)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            return;
        QString name = text.mid(i, eq - i);
        while (!name.isEmpty() && name.back() == QLatin1Char(' '))
            name.chop(1);
        if (name.isEmpty())
            return;
        const qsizetype q1 = text.indexOf(QLatin1Char('"'), eq + 1);
        if (q1 < 0)
            return;
        qsizetype q2 = text.indexOf(QLatin1Char('"'), q1 + 1);
        if (q2 < 0)
            q2 = n;
        const QString raw = text.mid(q1 + 1, q2 - q1 - 1);
        i = q2 + 1;
        f(name, raw);
    }
}

} // namespace

// What reading one attribute into an object does: the object reached (through nested
// properties), the action and the value read from the text. The value is read when the
// step is made, unless that raises: then it is read (and raises) each time it is applied.
struct TfrxXMLSerializer::AttributeStep {
    enum class Action { None, Ordinal, Value, MemoText, Reference, Data };
    enum class Reading { Integer, Int64, Enumeration, Float, Text, MemoText, Hex };
    Action action = Action::None;
    Reading reading = Reading::Text;
    QVarLengthArray<const PropInfo *, 2> path;     // nested objects walked first
    QVarLengthArray<const ClassInfo *, 3> classes; // the class met at each object
    const PropInfo *prop = nullptr;
    QString raw;
    bool read = false;
    qint64 ordinal = 0;
    Variant value; // ordinal kinds use ordinal, PropData data
    QByteArray data;

    void readValue(bool oldFormat)
    {
        switch (reading) {
        case Reading::Integer: ordinal = toInteger(raw); break;
        case Reading::Int64: ordinal = toInteger(raw, true); break;
        case Reading::Enumeration: {
            qint64 v = 0;
            if (!TryParseXMLInteger(raw, v))
                v = prop->enumInfo ? prop->enumInfo->valueOf(raw) : -1;
            if (v < 0 || (prop->enumInfo && v >= prop->enumInfo->names.size()))
                throw EConvertError(frxResources().Get(QStringLiteral("prInvProp"))
                                    + QStringLiteral(": %1=\"%2\"").arg(prop->name, raw));
            ordinal = v;
            break;
        }
        case Reading::Float: value = Variant(toFloat(raw)); break;
        case Reading::Text: value = Variant(DecodeXMLValue(raw)); break;
        case Reading::MemoText: value = Variant(DecodeXMLValue(oldFormat ? reReadUtf8(raw) : raw)); break;
        case Reading::Hex:
            if (!HexToBytes(raw, data))
                action = Action::None; // bad hex reads nothing
            break;
        }
        read = true;
    }
};

TfrxXMLSerializer::AttributeStep TfrxXMLSerializer::resolveAttribute(Object *obj, const QString &name,
                                                                     const QString &raw)
{
    using Action = AttributeStep::Action;
    using Reading = AttributeStep::Reading;
    AttributeStep st;
    st.raw = raw;
    const auto make = [&](Action action, Reading reading, const PropInfo *p) {
        st.action = action;
        st.reading = reading;
        st.prop = p;
        return std::move(st);
    };
    Object *cur = obj;
    st.classes.append(classOf(cur));
    QString rest = name;
    for (;;) {
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        if (dot < 0)
            break;
        const ClassInfo *ci = classOf(cur);
        const PropInfo *p = ci ? ci->findProperty(rest.left(dot)) : nullptr;
        if (!p)
            break;
        if (p->kind == PropKind::Nested) {
            Object *nested = p->object(cur);
            if (!nested)
                break;
            st.path.append(p);
            cur = nested;
            st.classes.append(classOf(cur));
            rest = rest.mid(dot + 1);
            continue;
        }
        if ((p->kind == PropKind::StringList || p->kind == PropKind::WideStringList)
            && QStringView(rest).mid(dot + 1).compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0)
            return make(p->hasSetter() ? Action::Value : Action::None, Reading::Text, p);
        break;
    }

    const ClassInfo *ci = classOf(cur);
    auto *comp = cur ? cur->asComponent() : nullptr;
    if (rest.size() == 1) {
        const char16_t c = rest[0].unicode();
        const char *geometry = c == 'l' ? "Left" : c == 't' ? "Top" : c == 'w' ? "Width" : c == 'h' ? "Height" : nullptr;
        if (geometry) {
            const PropInfo *p = ci ? ci->findProperty(QLatin1String(geometry)) : nullptr;
            return make(p && p->hasSetter() ? Action::Value : Action::None, Reading::Float, p);
        }
        if (c == 'x' || c == 'u') {
            return make(comp && comp->hasMemoText() ? Action::MemoText : Action::None,
                        c == 'u' ? Reading::MemoText : Reading::Text, nullptr);
        }
    }
    if (comp && comp->hasMemoText() && sameText(rest, QLatin1String("Text")))
        return make(Action::MemoText, Reading::MemoText, nullptr);
    if (sameText(rest, QLatin1String("PropData")))
        return make(Action::Data, Reading::Hex, nullptr);
    if (comp && comp->isReport() && rest.compare(kName, Qt::CaseInsensitive) == 0)
        return make(Action::None, Reading::Text, nullptr);
    const PropInfo *p = ci ? ci->findProperty(rest) : nullptr;
    if (!p || !p->hasSetter())
        return make(Action::None, Reading::Text, nullptr);
    switch (p->kind) {
    case PropKind::Integer:
    case PropKind::Char:
    case PropKind::WideChar:
    case PropKind::Set: return make(Action::Ordinal, Reading::Integer, p);
    case PropKind::Int64: return make(Action::Ordinal, Reading::Int64, p);
    case PropKind::Enumeration: return make(Action::Ordinal, Reading::Enumeration, p);
    case PropKind::Float: return make(Action::Value, Reading::Float, p);
    case PropKind::String:
    case PropKind::WideString:
    case PropKind::StringList:
    case PropKind::WideStringList:
    case PropKind::Variant: return make(Action::Value, Reading::Text, p);
    case PropKind::ObjectRef: return make(Action::Reference, Reading::Text, p);
    case PropKind::Nested:
    case PropKind::Event: break;
    }
    return make(Action::None, Reading::Text, nullptr);
}

// False when the object is not what the step was made for: the attribute has to be
// resolved again.
bool TfrxXMLSerializer::applyStep(AttributeStep &step, Object *obj)
{
    using Action = AttributeStep::Action;
    if (classOf(obj) != step.classes.at(0))
        return false;
    Object *cur = obj;
    for (qsizetype i = 0; i < step.path.size(); ++i) {
        cur = step.path.at(i)->object(cur);
        if (!cur || classOf(cur) != step.classes.at(i + 1))
            return false;
    }
    if (!step.read && step.action != Action::None)
        step.readValue(m_oldFormat);
    switch (step.action) {
    case Action::None: break;
    case Action::Ordinal: step.prop->setOrdinal(cur, step.ordinal); break;
    case Action::Value: step.prop->set(cur, step.value); break;
    case Action::MemoText:
        cur->asComponent()->setMemoText(step.value.toText());
        break;
    case Action::Reference: RecordReference(cur, step.prop, step.value.toText()); break;
    case Action::Data: readPropBytes(cur, step.data); break;
    }
    return true;
}

struct TfrxReadPlans::Item {
    struct Entry {
        QString name;
        TfrxXMLSerializer::AttributeStep step;
    };
    const ClassInfo *cls = nullptr; // the class of the object the steps were made for
    bool built = false;
    QList<Entry> steps;
    bool named = false;
    QString name;
};

TfrxReadPlans::TfrxReadPlans() = default;
TfrxReadPlans::~TfrxReadPlans() = default;

// An item's attributes read into an object: through the plans when there are some, the
// first time resolving each attribute right before it is set, as a plain read does.
void TfrxXMLSerializer::readItem(const TfrxXMLItem *item, Object *obj)
{
    if (!m_plans || m_oldFormat || !obj) {
        XMLToObj(item->Text(), obj);
        return;
    }
    std::shared_ptr<TfrxReadPlans::Item> &slot = m_plans->m_items[item];
    if (!slot)
        slot = std::make_shared<TfrxReadPlans::Item>();
    TfrxReadPlans::Item &plan = *slot;
    if (plan.built && plan.cls == classOf(obj)) {
        for (TfrxReadPlans::Item::Entry &e : plan.steps)
            collectErrors([&] {
                if (!applyStep(e.step, obj))
                    applyAttribute(obj, e.name, e.step.raw);
            });
        return;
    }
    plan.cls = classOf(obj);
    plan.built = true;
    plan.steps.clear();
    forEachAttribute(item->Text(), [&](const QString &name, const QString &raw) {
        plan.steps.append({name, resolveAttribute(obj, name, raw)});
        collectErrors([&] { applyStep(plan.steps.last().step, obj); });
    });
}

QString TfrxXMLSerializer::itemName(const TfrxXMLItem *item)
{
    if (!m_plans)
        return item->GetProp(kName);
    std::shared_ptr<TfrxReadPlans::Item> &slot = m_plans->m_items[item];
    if (!slot)
        slot = std::make_shared<TfrxReadPlans::Item>();
    if (!slot->named) {
        slot->name = item->GetProp(kName);
        slot->named = true;
    }
    return slot->name;
}

void TfrxXMLSerializer::XMLToObj(const QString &text, Object *obj)
{
    if (!obj)
        return;
    forEachAttribute(text, [&](const QString &name, const QString &raw) { applyCaught(obj, name, raw); });
}

void TfrxXMLSerializer::applyCaught(Object *obj, const QString &name, const QString &raw)
{
    collectErrors([&] { applyAttribute(obj, name, raw); });
}

void TfrxXMLSerializer::applyAttribute(Object *obj, const QString &name, const QString &raw)
{
    AttributeStep step = resolveAttribute(obj, name, raw);
    applyStep(step, obj);
}

void TfrxXMLSerializer::readPropBytes(Object *obj, QByteArray bytes)
{
    // A local reader: collection items inside may carry PropData of their own.
    TfrxComponentReader reader(std::move(bytes));
    try {
        while (!reader.AtEnd()) {
            const QString name = reader.ReadName();
            Object *cur = obj;
            QString rest = name;
            qsizetype dot;
            while ((dot = rest.indexOf(QLatin1Char('.'))) >= 0) {
                const ClassInfo *ci = classOf(cur);
                const PropInfo *p = ci ? ci->findProperty(rest.left(dot)) : nullptr;
                Object *nested = p && p->kind == PropKind::Nested ? p->object(cur) : nullptr;
                if (!nested)
                    break;
                cur = nested;
                rest = rest.mid(dot + 1);
            }
            const ClassInfo *ci = classOf(cur);
            if (const PropInfo *p = ci ? ci->findProperty(rest) : nullptr) {
                if (p->hasSetter())
                    readPropValue(reader, cur, p);
                else
                    reader.SkipValue();
                continue;
            }
            auto *dp = fastCast<TfrxDefinedProperties *>(cur);
            if (!dp)
                return;
            ReadFiler filer(this, reader, rest);
            dp->DefineProperties(filer);
            if (!filer.handled())
                return;
        }
    } catch (...) {
        // A broken PropData is dropped without a message.
    }
}

void TfrxXMLSerializer::readPropValue(TfrxComponentReader &r, Object *obj, const PropInfo *p)
{
    const TfrxValueType next = r.NextValue();
    switch (p->kind) {
    case PropKind::Integer:
    case PropKind::Int64:
    case PropKind::Char:
    case PropKind::WideChar:
        if ((p->kind == PropKind::Char || p->kind == PropKind::WideChar)
            && (next == vaString || next == vaWString || next == vaLString || next == vaUTF8String)) {
            const QString s = r.ReadString();
            p->setOrdinal(obj, s.isEmpty() ? 0 : s.at(0).unicode());
        } else {
            p->setOrdinal(obj, r.ReadInteger());
        }
        break;
    case PropKind::Enumeration: {
        qint64 v;
        if (next == vaInt8 || next == vaInt16 || next == vaInt32 || next == vaInt64)
            v = r.ReadInteger();
        else
            v = p->enumInfo ? p->enumInfo->valueOf(r.ReadIdent()) : -1;
        if (v < 0 || (p->enumInfo && v >= p->enumInfo->names.size()))
            throw EReadError(QStringLiteral("Invalid property value"));
        p->setOrdinal(obj, v);
        break;
    }
    case PropKind::Set: {
        const qint64 mask = p->enumInfo ? p->enumInfo->setMask(r.ReadSet()) : -1;
        if (mask < 0)
            throw EReadError(QStringLiteral("Invalid property value"));
        p->setOrdinal(obj, mask);
        break;
    }
    case PropKind::Float: p->set(obj, Variant(r.ReadFloat())); break;
    case PropKind::String:
    case PropKind::WideString: p->set(obj, Variant(r.ReadString())); break;
    case PropKind::Variant:
        switch (next) {
        case vaInt8:
        case vaInt16:
        case vaInt32: p->set(obj, Variant(int(r.ReadInteger()))); break;
        case vaInt64: p->set(obj, Variant(r.ReadInteger())); break;
        case vaExtended:
        case vaDouble:
        case vaSingle:
        case vaCurrency:
        case vaDate: p->set(obj, Variant(r.ReadFloat())); break;
        case vaFalse:
        case vaTrue: p->set(obj, Variant(r.ReadBoolean())); break;
        case vaNull:
            r.ReadValue();
            p->set(obj, Variant::null());
            break;
        case vaNil:
            r.ReadValue();
            p->set(obj, Variant());
            break;
        default: p->set(obj, Variant(r.ReadString()));
        }
        break;
    case PropKind::ObjectRef: {
        const QString ident = r.ReadIdent();
        if (ident.compare(QLatin1String("nil"), Qt::CaseInsensitive) != 0)
            RecordReference(obj, p, ident);
        break;
    }
    case PropKind::StringList:
    case PropKind::WideStringList: {
        r.ReadListBegin();
        QString text;
        while (!r.EndOfList())
            text += r.ReadString() + QLatin1String("\r\n");
        r.ReadListEnd();
        p->set(obj, Variant(text));
        break;
    }
    case PropKind::Nested:
    case PropKind::Event: r.SkipValue(); break;
    }
}

void TfrxXMLSerializer::ReadCollection(TfrxComponentReader &reader, TfrxCollection &collection)
{
    const TfrxValueType t = reader.NextValue();
    if (t == vaList) {
        reader.ReadListBegin();
        collection.ClearItems();
        while (!reader.EndOfList()) {
            reader.ReadListBegin();
            Object *item = collection.AddItem();
            while (!reader.EndOfList())
                XMLToObj(reader.ReadString(), item);
            reader.ReadListEnd();
        }
        reader.ReadListEnd();
        return;
    }
    if (t != vaCollection)
        throw EReadError(QStringLiteral("Invalid property value"));
    reader.ReadValue();
    collection.ClearItems();
    while (!reader.EndOfList()) {
        if (reader.NextValue() != vaList)
            reader.ReadInteger(); // the item's order
        reader.ReadListBegin();
        Object *item = collection.AddItem();
        while (!reader.EndOfList()) {
            const QString name = reader.ReadName();
            const ClassInfo *ci = classOf(item);
            const PropInfo *p = ci ? ci->findProperty(name) : nullptr;
            if (p && p->hasSetter())
                readPropValue(reader, item, p);
            else
                reader.SkipValue();
        }
        reader.ReadListEnd();
    }
    reader.ReadListEnd();
}

void TfrxXMLSerializer::ReadCollectionElement(TfrxXMLItem *element, TfrxCollection &collection)
{
    collection.ClearItems();
    for (int i = 0; i < element->Count(); ++i) {
        TfrxXMLItem *child = element->Items(i);
        if (child->Name().compare(kItem, Qt::CaseInsensitive) == 0)
            XMLToObj(child->Text(), collection.AddItem());
        else
            addClassNotFound(child->Name());
    }
}

void TfrxXMLSerializer::WriteCollectionElement(TfrxXMLItem *element, const TfrxCollection &collection)
{
    for (int i = 0; i < collection.Count(); ++i)
        element->Add(kItem)->SetText(ObjToXML(collection.Item(i)).trimmed());
}

void TfrxXMLSerializer::addClassNotFound(const QString &className)
{
    AddError(frxResources().Get(QStringLiteral("xrCantFindClass")) + QLatin1Char(' ') + className);
}

void TfrxXMLSerializer::RecordReference(Object *obj, const PropInfo *prop, const QString &value)
{
    m_fixups.append(TfrxFixupItem{obj, prop, value});
}

Component *TfrxXMLSerializer::FindReferenced(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    if (m_owner) {
        if (Component *c = m_owner->findObject(name))
            return c;
        if (Component *c = m_owner->FindComponent(name))
            return c;
        if (m_owner->isReport() && m_owner->Owner())
            if (Component *c = m_owner->Owner()->FindComponent(name))
                return c;
    }
    const QStringList parts = name.split(QLatin1Char('.'));
    if (parts.size() == 2) {
        if (Component *container = Component::findGlobalContainer(parts[0]))
            return container->FindComponent(parts[1]);
    } else if (parts.size() == 3) {
        if (Component *container = Component::findGlobalContainer(parts[0]))
            if (Component *frame = container->FindComponent(parts[1]))
                return frame->FindComponent(parts[2]);
    }
    return nullptr;
}

void TfrxXMLSerializer::ResolveReferences()
{
    const QList<TfrxFixupItem> fixups = std::move(m_fixups);
    m_fixups.clear();
    for (const TfrxFixupItem &f : fixups) {
        Component *c = FindReferenced(f.Value);
        if (m_referenceLog)
            m_referenceLog->append({f, c != nullptr});
        if (!c || !f.PropInfo || !f.PropInfo->hasSetter())
            continue;
        try {
            f.PropInfo->set(f.Obj, Variant::fromObject(c));
        } catch (const Error &e) {
            AddError(e.message());
        }
    }
}

void TfrxXMLSerializer::CopyFixupList(QList<TfrxFixupItem> &target)
{
    target.append(m_fixups);
    m_fixups.clear();
}

void TfrxXMLSerializer::readChildren(TfrxXMLItem *item, Component *parent, QList<Component *> &loaded)
{
    static const QString inherited = QStringLiteral("inherited");
    for (int i = 0; i < item->Count(); ++i) {
        TfrxXMLItem *child = item->Items(i);
        if (TfrxCollection *list = parent->elementCollection(child->Name())) {
            ReadCollectionElement(child, *list);
            continue;
        }
        const bool isInherited = child->Name().compare(inherited, Qt::CaseInsensitive) == 0;
        const ClassInfo *ci = nullptr;
        if (!isInherited) {
            ci = findClass(child->Name());
            if (!ci || !ci->inheritsFrom(&Component::staticClassInfo())) {
                addClassNotFound(child->Name());
                continue;
            }
        }
        QString name;
        try {
            name = itemName(child);
        } catch (const Error &e) {
            AddError(e.message());
        }
        Component *c = m_owner->FindComponent(name);
        if (!c) {
            if (isInherited)
                continue;
            Object *o = nullptr;
            try {
                o = ci->create(m_owner, parent);
            } catch (const Error &e) {
                AddError(e.message());
                continue;
            }
            c = fastCast<Component *>(o);
            if (!c) {
                delete o;
                addClassNotFound(child->Name());
                continue;
            }
        }
        c->SetLoading(true);
        readItem(child, c);
        loaded.append(c);
        readChildren(child, c, loaded);
    }
}

void TfrxXMLSerializer::dropHeldFixups()
{
    // References a component string kept back for CopyFixupList live until the next read.
    if (m_keptFixups) {
        m_fixups.clear();
        m_keptFixups = false;
    }
}

// References resolved, then each object read told it is complete (the report excepted).
void TfrxXMLSerializer::finishReading(const QList<Component *> &loaded)
{
    ResolveReferences();
    for (Component *c : std::as_const(loaded)) {
        c->SetLoading(false);
        if (c->isReport())
            continue;
        try {
            c->Loaded();
        } catch (const Error &e) {
            AddError(e.message());
        }
    }
}

void TfrxXMLSerializer::ReadRootComponent(Component *root, TfrxXMLItem *item)
{
    dropHeldFixups();
    TfrxXMLDocument doc;
    if (!item) {
        doc.LoadFromStream(m_stream);
        m_oldFormat = doc.OldVersion();
        item = doc.Root();
    }
    if (!m_owner)
        m_owner = root;
    QList<Component *> loaded;
    root->SetLoading(true);
    readItem(item, root);
    loaded.append(root);
    readChildren(item, root, loaded);
    finishReading(loaded);
}

// ---------------------------------------------------------------------------------------
// Copying

namespace {

// An attribute name the reader treats apart from the property of that name.
bool readApart(const QString &name, const Component *target)
{
    return name.size() == 1 || sameText(name, QLatin1String("PropData"))
           || (target && target->hasMemoText() && sameText(name, QLatin1String("Text")))
           || (target && target->isReport() && sameText(name, QLatin1String("Name")));
}

// Only texts with entities can change on their way through an attribute.
bool textReadsBack(const QString &text)
{
    return !text.contains(QLatin1Char('&'));
}

} // namespace

QString TfrxXMLSerializer::writtenValue(Object *obj, const PropInfo *p)
{
    switch (p->kind) {
    case PropKind::Integer:
    case PropKind::Char:
    case PropKind::WideChar:
    case PropKind::Set:
    case PropKind::Int64:
    case PropKind::Enumeration: {
        const qint64 v = p->ordinal(obj);
        if (p->kind == PropKind::Enumeration && p->enumInfo) {
            const QString ident = p->enumInfo->nameOf(v);
            return ident.isEmpty() ? QString::number(v) : ident;
        }
        return QString::number(v);
    }
    case PropKind::Float: return floatText(p->get(obj).toDouble());
    case PropKind::String:
    case PropKind::WideString:
    case PropKind::Variant: return EncodeXMLValue(p->get(obj).toText());
    case PropKind::ObjectRef: {
        Object *ref = p->object(obj);
        return EncodeXMLValue(ReferenceName(ref ? ref->asComponent() : nullptr));
    }
    case PropKind::StringList: return EncodeXMLValue(withoutFinalLineBreak(p->get(obj).toText()));
    case PropKind::Nested:
    case PropKind::WideStringList:
    case PropKind::Event: break;
    }
    return QString();
}

void TfrxXMLSerializer::copyProperty(Object *target, Object *source, const PropInfo *p)
{
    // The value as the reader would set it from the written text; anything whose text
    // could read back differently goes through the text. Reading the source may raise, as
    // it would while writing; what setting raises is collected, as a read collects it.
    auto viaText = [&] {
        const QString name = p->kind == PropKind::StringList ? p->name + QLatin1String(".Text") : p->name;
        applyCaught(target, name, writtenValue(source, p));
    };
    auto set = [&](auto &&assign) {
        if (p->hasSetter())
            collectErrors(assign);
    };
    switch (p->kind) {
    case PropKind::Nested: {
        Object *from = p->object(source);
        Object *to = p->object(target);
        if (from && to)
            copyObject(to, from);
        return;
    }
    case PropKind::WideStringList:
    case PropKind::Event: return;
    default: break;
    }
    if (p->kind != PropKind::StringList && readApart(p->name, target->asComponent()))
        return viaText();
    switch (p->kind) {
    case PropKind::Integer:
    case PropKind::Char:
    case PropKind::WideChar:
    case PropKind::Set:
    case PropKind::Enumeration: {
        const qint64 v = p->ordinal(source);
        const bool fits = v >= -0x7FFFFFFFLL - 1 && v <= 0x7FFFFFFF;
        const bool known = p->kind != PropKind::Enumeration || !p->enumInfo || (v >= 0 && v < p->enumInfo->names.size());
        if (!fits || !known)
            return viaText();
        return set([&] { p->setOrdinal(target, v); });
    }
    case PropKind::Int64: {
        const qint64 v = p->ordinal(source);
        return set([&] { p->setOrdinal(target, v); });
    }
    case PropKind::Float: {
        const double v = p->get(source).toDouble();
        if (v != 0 && !floatTextReadsBack(v))
            return viaText();
        return set([&] { p->set(target, Variant(v == 0 ? 0.0 : v)); });
    }
    case PropKind::String:
    case PropKind::WideString:
    case PropKind::Variant:
    case PropKind::StringList: {
        QString v = p->get(source).toText();
        if (p->kind == PropKind::StringList)
            v = withoutFinalLineBreak(std::move(v));
        if (!textReadsBack(v))
            return viaText();
        return set([&] { p->set(target, Variant(v)); });
    }
    case PropKind::ObjectRef: {
        // Resolved by name at the end, as a read resolves it.
        Object *ref = p->object(source);
        const QString name = ReferenceName(ref ? ref->asComponent() : nullptr);
        if (!textReadsBack(name))
            return viaText();
        if (p->hasSetter())
            RecordReference(target, p, name);
        return;
    }
    case PropKind::Nested:
    case PropKind::WideStringList:
    case PropKind::Event: return;
    }
}

void TfrxXMLSerializer::copyObject(Object *target, Object *source)
{
    if (!source->classInfo())
        return;
    auto *comp = source->asComponent();
    WritingMark mark(comp);
    for (const PropInfo *p : source->classInfo()->properties()) {
        if (comp && sameText(p->name, QLatin1String("Name")))
            continue;
        if (p->isStored(source))
            copyProperty(target, source, p);
    }
    if (comp && comp->hasMemoText()) {
        const QString text = withoutFinalLineBreak(comp->memoText());
        auto *to = target->asComponent();
        if (!to || !to->hasMemoText() || !textReadsBack(text))
            applyCaught(target, QStringLiteral("Text"), EncodeXMLValue(text));
        else
            collectErrors([&] { to->setMemoText(text); });
    }
    QByteArray data = propData(source);
    if (!data.isEmpty())
        readPropBytes(target, std::move(data));
}

void TfrxXMLSerializer::CopyRootComponent(Component *target, Component *source)
{
    dropHeldFixups();
    if (!m_owner)
        m_owner = target;
    QList<Component *> loaded;
    target->SetLoading(true);
    loaded.append(target);
    copyObject(target, source);
    for (const auto &[name, list] : source->writtenElementCollections()) {
        TfrxCollection *to = target->elementCollection(name);
        if (!to) {
            // Read as an element it would be taken for a child object: let the reader decide.
            TfrxXMLItem holder;
            WriteCollectionElement(holder.Add(name), *list);
            readChildren(&holder, target, loaded);
            continue;
        }
        to->ClearItems();
        for (int i = 0; i < list->Count(); ++i)
            copyObject(to->AddItem(), list->Item(i));
    }
    finishReading(loaded);
}

Component *TfrxXMLSerializer::ReadComponentStr(Component *root, const QString &text, bool dontFixup)
{
    dropHeldFixups();
    const QString s = text.trimmed();
    if (s.isEmpty())
        return nullptr;
    const qsizetype sp = s.indexOf(QLatin1Char(' '));
    const QString className = sp < 0 ? s : s.left(sp);
    const QString attrs = sp < 0 ? QString() : s.mid(sp + 1);
    const ClassInfo *ci = findClass(className);
    if (!ci || !ci->inheritsFrom(&Component::staticClassInfo()) || !ci->factory)
        throw EClassNotFound(QStringLiteral("Class %1 not found").arg(className));
    Object *o = ci->create(root, nullptr);
    auto *c = fastCast<Component *>(o);
    if (!c) {
        delete o;
        throw EClassNotFound(QStringLiteral("Class %1 not found").arg(className));
    }
    if (!m_owner)
        m_owner = root;
    c->SetLoading(true);
    XMLToObj(attrs, c);
    if (dontFixup)
        m_keptFixups = true;
    else
        ResolveReferences();
    c->SetLoading(false);
    if (!c->isReport())
        c->Loaded();
    return c;
}

Component *TfrxXMLSerializer::ReadComponent(Component *root)
{
    TfrxXMLItem item;
    {
        TfrxXMLReader reader(m_stream);
        reader.SetOldVersion(m_oldFormat);
        if (reader.ReadRootItem(&item))
            return nullptr;
    }
    return ReadComponentStr(root, item.Name() + QLatin1Char(' ') + item.Text());
}

void TfrxXMLSerializer::ReadPersistentStr(Component *root, Object *obj, const QString &text)
{
    dropHeldFixups();
    if (!m_owner)
        m_owner = root;
    XMLToObj(text, obj);
    ResolveReferences();
}

} // namespace tw
