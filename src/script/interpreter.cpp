#include "script/interpreter.h"

#include "base/sametext.h"
#include "base/textcache.h"
#include "script/ilcache.h"

#include "script/expression.h"
#include "script/messages.h"
#include "script/lexer.h"

#include <QBuffer>
#include <QSet>

#include <algorithm>
#include <chrono>

namespace tw {

namespace fsinternal {
struct CodeLines {
    QHash<QString, QSet<int>> lines; // unit name (upper case) -> line numbers
};
} // namespace fsinternal

namespace {

// Owner mark of the items registration modules add.
const char kRTTIMark = 0;

QString quoted(const QString &name) { return QLatin1Char('\'') + name + QLatin1Char('\''); }

std::vector<TfsRTTIModuleClass> &moduleList()
{
    static std::vector<TfsRTTIModuleClass> list;
    return list;
}

Object *objectOf(const Variant &v) { return v.isObject() ? v.toObject() : nullptr; }

TfsCustomVariable *makeVariable(const QString &name, TfsVarType typ, const QString &typeName)
{
    if (typ == fvtString || typ == fvtChar)
        return new TfsStringVariable(name, typ, typeName);
    return new TfsVariable(name, typ, typeName);
}

// The parts of a declaration string.
struct Declaration {
    QString name;
    bool isFunc = false;
    bool isMacro = false;
    QString returnType;
    struct Param {
        QString name;
        QString type;
        bool isVar = false;
        Variant def = Variant::null();
    };
    QList<Param> params;
    bool usesScript = false; // a default named a constant of the script
};

Declaration parseDeclaration(const QString &syntax, const TfsScript *script)
{
    Declaration d;
    TfsParser p;
    if (script && script->ExtendedCharset)
        for (int c = 128; c < 256; ++c)
            p.IdentifierCharset().set(size_t(c));
    p.SetText(syntax);
    auto peek = [&]() -> QChar {
        p.SkipSpaces();
        const int pos = p.Position();
        return pos >= 1 && pos <= p.Length() ? syntax.at(pos - 1) : QChar();
    };
    p.SkipSpaces();
    QString word = p.GetIdent().toLower();
    if (word.startsWith(QLatin1String("macro"))) {
        d.isMacro = true;
        word = word.mid(5);
    }
    d.isFunc = word == QLatin1String("function");
    p.SkipSpaces();
    d.name = p.GetIdent();
    if (d.isFunc) {
        QString s = syntax.trimmed();
        while (s.endsWith(QLatin1Char(';')))
            s.chop(1);
        const qsizetype colon = s.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0)
            d.returnType = s.mid(colon + 1).trimmed();
    }
    if (peek() != QLatin1Char('('))
        return d;
    p.GetChar();
    int guard = 0;
    while (peek() != QLatin1Char(')') && !peek().isNull() && ++guard < 1000) {
        bool isVar = false;
        const int save = p.Position();
        QString w = p.GetIdent();
        if (w.compare(QLatin1String("var"), Qt::CaseInsensitive) == 0)
            isVar = true;
        else if (w.compare(QLatin1String("const"), Qt::CaseInsensitive) != 0)
            p.SetPosition(save);
        QStringList names;
        for (;;) {
            p.SkipSpaces();
            const QString n = p.GetIdent();
            if (n.isEmpty())
                break;
            names << n;
            if (peek() != QLatin1Char(','))
                break;
            p.GetChar();
        }
        QString type;
        if (peek() == QLatin1Char(':')) {
            p.GetChar();
            p.SkipSpaces();
            type = p.GetIdent();
        }
        Variant def = Variant::null();
        if (peek() == QLatin1Char('=')) {
            p.GetChar();
            const QChar c = peek();
            if (c == QLatin1Char('\'')) {
                const QString s = p.GetString();
                def = Variant(s.mid(1, s.size() - 2));
            } else if (c == QLatin1Char('-') || c.isDigit() || c == QLatin1Char('$')) {
                bool neg = false;
                if (c == QLatin1Char('-')) {
                    p.GetChar();
                    neg = true;
                }
                const QString num = p.GetNumber();
                bool ok = false;
                const qint64 i = num.startsWith(QLatin1Char('$')) ? num.mid(1).toLongLong(&ok, 16) : num.toLongLong(&ok);
                if (ok)
                    def = (i >= INT32_MIN && i <= INT32_MAX) ? Variant(int(neg ? -i : i)) : Variant(neg ? -i : i);
                else
                    def = Variant(neg ? -num.toDouble() : num.toDouble());
            } else {
                p.SkipSpaces();
                const QString cname = p.GetIdent();
                TfsCustomVariable *v = script ? script->Find(cname) : nullptr;
                def = v ? v->GetValue() : Variant::null();
                d.usesScript = true;
            }
        }
        for (int i = 0; i < names.size(); ++i) {
            Declaration::Param par;
            par.name = names[i];
            par.type = type;
            par.isVar = isVar;
            if (i == names.size() - 1)
                par.def = def;
            d.params << par;
        }
        if (names.isEmpty())
            break;
        if (peek() == QLatin1Char(';'))
            p.GetChar();
        else
            break;
    }
    return d;
}

// Reports declare the same methods on every run: a declaration is read once. One whose
// default names a script constant is read each time, as the constant may differ.
Declaration cachedDeclaration(const QString &syntax, const TfsScript *script)
{
    static TextCache<Declaration> read[2]{TextCache<Declaration>(1024), TextCache<Declaration>(1024)}; // without, with the extended charset
    TextCache<Declaration> &cache = read[script && script->ExtendedCharset ? 1 : 0];
    Declaration d;
    if (cache.find(syntax, d))
        return d;
    d = parseDeclaration(syntax, script);
    if (!d.usesScript)
        cache.insert(syntax, d);
    return d;
}

} // namespace

QString fsTypeToString(TfsVarType typ, const QString &typeName)
{
    switch (typ) {
    case fvtInt: return QStringLiteral("Integer");
    case fvtBool: return QStringLiteral("Boolean");
    case fvtFloat: return QStringLiteral("Extended");
    case fvtChar: return QStringLiteral("Char");
    case fvtString: return QStringLiteral("String");
    case fvtClass: case fvtEnum: return typeName;
    case fvtArray: return QStringLiteral("Array");
    case fvtVariant: case fvtConstructor: return QStringLiteral("Variant");
    case fvtInt64: return QStringLiteral("Int64");
    }
    return QString();
}

void fsRegisterRTTIModule(TfsRTTIModuleClass moduleClass) { moduleList().push_back(std::move(moduleClass)); }

const std::vector<TfsRTTIModuleClass> &fsRTTIModules() { return moduleList(); }

// ---------------------------------------------------------------------------------------
// Symbols

TfsCustomVariable::TfsCustomVariable(const QString &name, TfsVarType typ, const QString &typeName)
    : Typ(typ), TypeName(typeName), m_value(Variant::null()), m_name(name), m_upperName(upperText(name))
{
}

TfsCustomVariable::~TfsCustomVariable()
{
    if (m_ownsParams)
        for (TfsParamItem *p : m_params)
            delete p;
}

void TfsCustomVariable::setName(const QString &name)
{
    m_name = name;
    m_upperName = upperText(name);
}

void TfsCustomVariable::Clear()
{
    if (m_ownsParams)
        for (TfsParamItem *p : m_params)
            delete p;
    m_params.clear();
}

Variant TfsCustomVariable::GetValue() { return m_value; }

void TfsCustomVariable::SetValue(const Variant &value)
{
    if (!IsReadOnly)
        m_value = value;
}

int TfsCustomVariable::RequiredCount() const
{
    int n = 0;
    for (TfsParamItem *p : m_params)
        if (!p->IsOptional)
            ++n;
    return n;
}

Variant TfsVariable::GetValue()
{
    if (!OnGetVarValue)
        return m_value;
    Variant v = OnGetVarValue(Name(), Typ, m_value);
    return v.isNull() ? m_value : v;
}

void TfsVariable::SetValue(const Variant &value)
{
    if (IsReadOnly)
        return;
    switch (Typ) {
    case fvtInt:
        if (value.kind() == Variant::Kind::Int32)
            m_value = value;
        else
            m_value = Variant(value.toInt());
        break;
    case fvtBool:
        m_value = Variant(value.toBool());
        break;
    case fvtFloat:
        if (value.kind() == Variant::Kind::Double)
            m_value = value;
        else
            m_value = Variant(value.toDouble());
        break;
    case fvtString:
        m_value = Variant(value.toString());
        break;
    case fvtInt64:
        m_value = Variant(value.toInt64());
        break;
    default:
        m_value = value;
        break;
    }
}

TfsStringVariable::TfsStringVariable(const QString &name, TfsVarType typ, const QString &typeName)
    : TfsCustomVariable(name, typ, typeName)
{
}

Variant TfsStringVariable::GetValue()
{
    if (!OnGetVarValue)
        return Variant(m_str);
    Variant v = OnGetVarValue(Name(), Typ, Variant(m_str));
    return v.isNull() ? Variant(m_str) : v;
}

void TfsStringVariable::SetValue(const Variant &value)
{
    if (!IsReadOnly)
        m_str = value.isString() ? value.toString() : value.toText();
}

void TfsStringVariable::SetRawValue(const Variant &value) { m_str = value.toText(); }

TfsParamItem::TfsParamItem(const QString &name, TfsVarType typ, const QString &typeName, bool isOptional,
                           bool isVarParam)
    : TfsCustomVariable(name, typ, typeName), IsVarParam(isVarParam), IsOptional(isOptional)
{
}

TfsProcVariable::TfsProcVariable(const QString &name, TfsVarType typ, const QString &typeName, TfsScript *parent,
                                 bool isFunc)
    : TfsCustomVariable(name, typ, typeName), IsFunc(isFunc), m_prog(new TfsScript(parent))
{
    m_ownsParams = false; // the local scope owns them
    IsReadOnly = true;
    m_prog->UseClassLateBinding = parent ? parent->UseClassLateBinding : false;
    if (parent)
        m_prog->ExtendedCharset = parent->ExtendedCharset;
}

TfsProcVariable::~TfsProcVariable() { delete m_prog; }

Variant TfsProcVariable::GetValue() { return Call(nullptr, 0); }

namespace fsinternal {

namespace {
// Steps between two looks at the clock: cheap enough for the tightest loop, often enough
// that even slow steps reach the handler within a fraction of a second.
constexpr unsigned kStepsPerClockCheck = 1024;
constexpr qint64 kRunCheckIntervalMs = 20;

std::function<void()> &runCheckHandler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

unsigned runCheckCountdown = kStepsPerClockCheck;

void runCheckDue()
{
    runCheckCountdown = kStepsPerClockCheck;
    static std::chrono::steady_clock::time_point last;
    static bool inHandler = false;
    const auto &handler = runCheckHandler();
    if (!handler || inHandler)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(kRunCheckIntervalMs))
        return;
    last = now;
    inHandler = true;
    struct Leave {
        ~Leave() { inHandler = false; }
    } leave;
    handler();
}

} // namespace fsinternal

void fsSetRunCheck(std::function<void()> handler)
{
    fsinternal::runCheckHandler() = std::move(handler);
}

namespace {
// Script calls in progress on this thread; a runaway recursion stops with an error long
// before the machine stack runs out.
thread_local int callDepth = 0;
constexpr int kMaxCallDepth = 1500;
} // namespace

Variant TfsProcVariable::Call(const Variant *args, int count, QVector<Variant> *finalParams)
{
    TfsScript *main = m_prog;
    while (main && !main->MainProg)
        main = main->Parent;
    fsinternal::runCheckStep();
    // A terminated program calls nothing more: a recursion would otherwise clear its own
    // scope's stop on every return and run on.
    if (main && main->FTerminated) [[unlikely]]
        return Variant();
    if (callDepth >= kMaxCallDepth)
        throw EStackOverflow(QStringLiteral("Stack overflow"));
    struct Depth {
        Depth() { ++callDepth; }
        ~Depth() { --callDepth; }
    } depth;
    TfsScript *local = m_prog;
    const bool recursive = Executing;
    std::vector<Variant> saved;
    if (recursive) {
        saved.reserve(size_t(local->Count()));
        for (int i = 0; i < local->Count(); ++i)
            saved.push_back(local->GetItem(i)->RawValue());
    }
    const int n = std::min(count, Count());
    for (int i = 0; i < n; ++i)
        Params(i)->SetValue(args[i]);

    struct Restore {
        TfsProcVariable *self;
        TfsScript *local;
        TfsScript *main;
        TfsScript *prevRunning;
        bool prevExecuting;
        bool recursive;
        std::vector<Variant> &saved;
        ~Restore()
        {
            local->FExitCalled = false;
            local->FTerminated = false;
            local->FBreakCalled = false;
            local->FContinueCalled = false;
            local->IsRunning = false;
            self->Executing = prevExecuting;
            if (main)
                main->ProgRunning = prevRunning;
            if (recursive)
                for (int i = 0; i < local->Count() && size_t(i) < saved.size(); ++i)
                    local->GetItem(i)->SetRawValue(saved[size_t(i)]);
        }
    } restore{this, local, main, main ? main->ProgRunning : nullptr, Executing, recursive, saved};

    Executing = true;
    if (IsFunc && RefItem)
        RefItem->SetRawValue(Variant());
    if (main)
        main->ProgRunning = local;
    local->FExitCalled = false;
    local->FTerminated = false;
    local->IsRunning = true;
    if (local->Statement())
        local->Statement()->Execute();
    Variant result = IsFunc && RefItem ? RefItem->GetValue() : Variant::null();
    if (finalParams) {
        finalParams->clear();
        for (int i = 0; i < Count(); ++i)
            finalParams->append(Params(i)->RawValue());
    }
    return result;
}

// ---------------------------------------------------------------------------------------
// Member helpers

Variant TfsPropertyHelper::GetValue()
{
    Object *inst = objectOf(ParentValue);
    Variant r;
    if (IsPublished && Prop) {
        if (!inst)
            throw Error(QStringLiteral("Cannot read property ") + quoted(Name()) + QStringLiteral(" of nil"));
        r = Prop->get(inst);
    } else if (OnGetValue) {
        r = OnGetValue(inst, ClassRef, UpperName());
    } else if (OnGetValueNew) {
        r = OnGetValueNew(inst, ClassRef, UpperName(), this);
    } else {
        r = Variant::null();
    }
    if (Typ == fvtBool && r.kind() != Variant::Kind::Boolean)
        r = Variant(!r.isEmptyOrNull() && !var::equals(r, Variant(0)));
    return r;
}

void TfsPropertyHelper::SetValue(const Variant &value)
{
    if (IsReadOnly)
        return;
    Object *inst = objectOf(ParentValue);
    if (IsPublished && Prop) {
        if (!inst)
            throw Error(QStringLiteral("Cannot write property ") + quoted(Name()) + QStringLiteral(" of nil"));
        if (Typ == fvtBool)
            Prop->set(inst, Variant(var::equals(value, Variant(true))));
        else if (Typ == fvtChar) {
            const QString s = value.toText();
            Prop->set(inst, s.isEmpty() ? Variant(QString()) : Variant(QString(s.at(0))));
        } else
            Prop->set(inst, value);
    } else if (OnSetValue) {
        OnSetValue(inst, ClassRef, UpperName(), value);
    } else if (OnSetValueNew) {
        OnSetValueNew(inst, ClassRef, UpperName(), value, this);
    }
}

TfsMethodHelper::TfsMethodHelper(const QString &syntax, TfsScript *script)
    : TfsCustomHelper(QString(), fvtVariant, QString()), Syntax(syntax)
{
    const Declaration d = cachedDeclaration(syntax, script);
    setName(d.name);
    m_getName = UpperName() + QStringLiteral(".GET");
    m_setName = UpperName() + QStringLiteral(".SET");
    IsMacro = d.isMacro;
    IsReadOnly = true;
    if (d.isFunc) {
        QString tn;
        Typ = script ? script->ResolveTypeName(d.returnType, tn) : fvtVariant;
        TypeName = script ? tn : d.returnType;
    } else {
        Typ = fvtVariant;
        TypeName.clear();
    }
    for (const Declaration::Param &p : d.params) {
        QString tn;
        const TfsVarType t = script ? script->ResolveTypeName(p.type, tn) : fvtVariant;
        auto *item = new TfsParamItem(p.name, t, tn, !p.def.isNull(), p.isVar);
        item->DefValue = p.def;
        AddParam(item);
    }
}

Variant TfsMethodHelper::invoke(const QString &name, bool setting, const Variant &value)
{
    Object *inst = objectOf(ParentValue);
    if (OnCall) {
        const int n = Count();
        VarArray.resize(n);
        for (int i = 0; i < n; ++i)
            VarArray[i] = Params(i)->RawValue();
        if (setting)
            VarArray.append(value);
        Variant r = OnCall(inst, ClassRef, name, VarArray);
        for (int i = 0; i < n && i < VarArray.size(); ++i)
            if (Params(i)->IsVarParam)
                Params(i)->SetRawValue(VarArray[i]);
        return r;
    }
    if (OnCallNew) {
        m_setValue = value;
        return OnCallNew(inst, ClassRef, name, this);
    }
    return Variant(0);
}

Variant TfsMethodHelper::GetValue() { return invoke(IndexMethod ? m_getName : UpperName(), false, Variant()); }

void TfsMethodHelper::SetValue(const Variant &value)
{
    if (IndexMethod && !IsReadOnly)
        invoke(m_setName, true, value);
}

TfsComponentHelper::TfsComponentHelper(const QString &name, Object *component, const QString &className)
    : TfsCustomHelper(name, fvtClass, className), Component(component)
{
    IsReadOnly = true;
}

Variant TfsComponentHelper::GetValue() { return Variant::fromObject(Component); }

TfsEventMethod TfsCustomEvent::GetMethod()
{
    return [this](QVector<Variant> &args) { CallHandler(args); };
}

void TfsCustomEvent::CallHandler(QVector<Variant> &args)
{
    if (!Handler || Handler->Executing)
        return;
    QVector<Variant> finals;
    Handler->Call(args.constData(), int(args.size()), &finals);
    for (int i = 0; i < args.size() && i < finals.size(); ++i)
        if (Handler->Params(i)->IsVarParam)
            args[i] = finals[i];
}

TfsEventHelper::TfsEventHelper(const QString &name, TfsEventClass eventClass)
    : TfsCustomHelper(name, fvtVariant, QStringLiteral("Variant")), EventClass(std::move(eventClass))
{
}

Variant TfsEventHelper::GetValue() { return Variant::null(); }

void TfsEventHelper::SetValue(const Variant &value)
{
    Object *inst = objectOf(ParentValue);
    auto *host = dynamic_cast<TfsEventHost *>(inst);
    const QString text = value.toText();
    if (text == QLatin1String("0") || (value.isObject() && !value.toObject())) {
        if (host)
            host->SetScriptEvent(Name(), TfsEventMethod());
        return;
    }
    TfsScript *scope = Prog;
    auto *proc = scope ? dynamic_cast<TfsProcVariable *>(scope->Find(text)) : nullptr;
    if (!proc)
        throw Error(fsmsg::SEventError());
    if (!EventClass)
        return;
    TfsCustomEvent *ev = EventClass(inst, proc);
    scope->Root()->KeepEvent(ev);
    if (host)
        host->SetScriptEvent(Name(), ev->GetMethod());
}

TfsArrayHelper::TfsArrayHelper(const QString &name, int dims) : TfsCustomHelper(name, fvtVariant, QStringLiteral("Variant"))
{
    for (int i = 0; i < dims; ++i)
        AddParam(new TfsParamItem(QStringLiteral("x%1").arg(i), fvtVariant, QStringLiteral("Variant"), false, false));
}

Variant TfsArrayHelper::GetValue()
{
    if (Count() > 3)
        return Variant::null();
    QVector<int> idx;
    for (int i = 0; i < Count(); ++i)
        idx.append(Params(i)->RawValue().toInt());
    return ParentValue.at(idx);
}

void TfsArrayHelper::SetValue(const Variant &value)
{
    if (Count() > 3 || !ParentRef)
        return;
    QVector<int> idx;
    for (int i = 0; i < Count(); ++i)
        idx.append(Params(i)->RawValue().toInt());
    ParentValue = Variant(); // drop the shared copy so the write does not copy the array
    ParentRef->RawValueRef().at(idx) = value;
}

TfsStringHelper::TfsStringHelper() : TfsCustomHelper(QStringLiteral("__StringHelper"), fvtChar, QStringLiteral("Char"))
{
    AddParam(new TfsParamItem(QStringLiteral("index"), fvtInt, QStringLiteral("Integer"), false, false));
}

Variant TfsStringHelper::GetValue()
{
    const int i = Params(0)->RawValue().toInt();
    const QString s = ParentValue.toText();
    return (i >= 1 && i <= s.size()) ? Variant(QString(s.at(i - 1))) : Variant(QString());
}

void TfsStringHelper::SetValue(const Variant &value)
{
    if (!ParentRef)
        return;
    const int i = Params(0)->RawValue().toInt();
    QString s = ParentValue.toText();
    const QString c = value.toText();
    if (i >= 1 && i <= s.size() && !c.isEmpty()) {
        s[i - 1] = c.at(0);
        ParentRef->SetValue(Variant(s));
    }
}

// ---------------------------------------------------------------------------------------
// Registered classes

TfsClassVariable::TfsClassVariable(const ClassInfo *classRef, const QString &className, const QString &ancestor,
                                   TfsScript *program)
    : TfsCustomVariable(className, fvtClass, className), ClassRef(classRef), Ancestor(ancestor), Program(program)
{
    IsReadOnly = true;
    AddParam(new TfsParamItem(QStringLiteral("Value"), fvtVariant, QStringLiteral("Variant"), false, false));
}

TfsClassVariable::~TfsClassVariable() = default;

// A member added under the name of one the class has already (a published property the
// host gives another type, for instance) replaces it.
void TfsClassVariable::addMember(TfsCustomHelper *member)
{
    for (auto &m : m_members)
        if (m->UpperName() == member->UpperName()) {
            m.reset(member);
            return;
        }
    m_members.emplace_back(member);
}

TfsVarType TfsClassVariable::resolveType(const QString &typ, QString &typeName) const
{
    return Program ? Program->ResolveTypeName(typ, typeName) : fvtVariant;
}

void TfsClassVariable::addPublished()
{
    if (!ClassRef)
        return;
    for (const PropInfo *p : ClassRef->properties()) {
        TfsVarType t = fvtInt;
        QString tn = p->typeName;
        switch (p->kind) {
        case PropKind::Char: case PropKind::WideChar:
            t = fvtChar;
            break;
        case PropKind::Enumeration: {
            const QString en = p->enumInfo ? p->enumInfo->name : p->typeName;
            if (en.compare(QLatin1String("Boolean"), Qt::CaseInsensitive) == 0
                || en.compare(QLatin1String("bool"), Qt::CaseInsensitive) == 0) {
                t = fvtBool;
            } else {
                t = fvtEnum;
                tn = en;
            }
            break;
        }
        case PropKind::Float:
            t = fvtFloat;
            break;
        case PropKind::String: case PropKind::WideString: case PropKind::StringList: case PropKind::WideStringList:
            t = fvtString;
            break;
        case PropKind::Set:
            t = fvtEnum;
            break;
        case PropKind::ObjectRef: case PropKind::Nested:
            t = fvtClass;
            if (p->classInfo)
                tn = p->classInfo->name;
            break;
        case PropKind::Variant:
            t = fvtVariant;
            break;
        case PropKind::Int64:
            t = fvtInt64;
            break;
        case PropKind::Event:
            continue; // events are registered with AddEvent
        default:
            t = fvtInt;
            break;
        }
        auto *h = new TfsPropertyHelper(p->name, t, tn);
        h->ClassRef = ClassRef;
        h->IsPublished = true;
        h->Prop = p;
        h->IsReadOnly = !p->hasSetter();
        addMember(h);
    }
}

TfsMethodHelper *TfsClassVariable::AddConstructor(const QString &syntax, TfsCallMethodEvent callEvent)
{
    QString s = syntax.trimmed();
    const qsizetype sp = s.indexOf(QLatin1Char(' '));
    s = QStringLiteral("function") + (sp >= 0 ? s.mid(sp) : QString());
    while (s.endsWith(QLatin1Char(';')))
        s.chop(1);
    s += QStringLiteral(": Constructor");
    auto *h = new TfsMethodHelper(s, Program);
    h->Typ = fvtConstructor;
    h->TypeName = Name();
    h->ClassRef = ClassRef;
    h->OnCall = std::move(callEvent);
    addMember(h);
    return h;
}

TfsMethodHelper *TfsClassVariable::AddConstructor(const QString &syntax, TfsCallMethodNewEvent callEvent)
{
    TfsMethodHelper *h = AddConstructor(syntax, TfsCallMethodEvent());
    h->OnCallNew = std::move(callEvent);
    return h;
}

TfsMethodHelper *TfsClassVariable::AddMethod(const QString &syntax, TfsCallMethodEvent callEvent)
{
    auto *h = new TfsMethodHelper(syntax, Program);
    h->ClassRef = ClassRef;
    h->OnCall = std::move(callEvent);
    addMember(h);
    return h;
}

TfsMethodHelper *TfsClassVariable::AddMethod(const QString &syntax, TfsCallMethodNewEvent callEvent)
{
    auto *h = new TfsMethodHelper(syntax, Program);
    h->ClassRef = ClassRef;
    h->OnCallNew = std::move(callEvent);
    addMember(h);
    return h;
}

TfsPropertyHelper *TfsClassVariable::AddProperty(const QString &name, const QString &typ, TfsGetValueEvent getEvent,
                                                 TfsSetValueEvent setEvent)
{
    QString tn;
    const TfsVarType t = resolveType(typ, tn);
    auto *h = new TfsPropertyHelper(name, t, tn);
    h->ClassRef = ClassRef;
    h->IsReadOnly = !setEvent;
    h->OnGetValue = std::move(getEvent);
    h->OnSetValue = std::move(setEvent);
    addMember(h);
    return h;
}

TfsPropertyHelper *TfsClassVariable::AddPropertyEx(const QString &name, const QString &typ,
                                                   TfsGetValueNewEvent getEvent, TfsSetValueNewEvent setEvent)
{
    QString tn;
    const TfsVarType t = resolveType(typ, tn);
    auto *h = new TfsPropertyHelper(name, t, tn);
    h->ClassRef = ClassRef;
    h->IsReadOnly = !setEvent;
    h->OnGetValueNew = std::move(getEvent);
    h->OnSetValueNew = std::move(setEvent);
    addMember(h);
    return h;
}

TfsMethodHelper *TfsClassVariable::AddIndexProperty(const QString &name, const QString &params, const QString &typ,
                                                    TfsCallMethodEvent callEvent, bool readOnly)
{
    QStringList parts;
    const QStringList types = params.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < types.size(); ++i)
        parts << QStringLiteral("p%1: %2").arg(i).arg(types[i].trimmed());
    const QString syntax = QStringLiteral("function ") + name + QLatin1Char('(') + parts.join(QStringLiteral("; "))
        + QStringLiteral("): ") + typ;
    auto *h = new TfsMethodHelper(syntax, Program);
    h->ClassRef = ClassRef;
    h->IndexMethod = true;
    h->IsReadOnly = readOnly;
    h->OnCall = std::move(callEvent);
    addMember(h);
    return h;
}

TfsMethodHelper *TfsClassVariable::AddDefaultProperty(const QString &name, const QString &params,
                                                      const QString &typ, TfsCallMethodEvent callEvent, bool readOnly)
{
    DefProperty = AddIndexProperty(name, params, typ, std::move(callEvent), readOnly);
    return DefProperty;
}

TfsEventHelper *TfsClassVariable::AddEvent(const QString &name, TfsEventClass eventClass)
{
    auto *h = new TfsEventHelper(name, std::move(eventClass));
    addMember(h);
    return h;
}

TfsComponentHelper *TfsClassVariable::AddComponent(const QString &name, Object *component, const QString &className)
{
    auto *h = new TfsComponentHelper(name, component, className);
    addMember(h);
    return h;
}

TfsCustomHelper *TfsClassVariable::Find(const QString &name) const
{
    const QString upper = upperText(name);
    const TfsClassVariable *cls = this;
    for (int depth = 0; cls && depth < 64; ++depth) {
        for (const auto &m : cls->m_members)
            if (m->UpperName() == upper)
                return m.get();
        if (cls->Ancestor.isEmpty() || !cls->Program)
            break;
        TfsClassVariable *anc = cls->Program->FindClass(cls->Ancestor);
        cls = anc == cls ? nullptr : anc;
    }
    return nullptr;
}

Variant TfsClassVariable::GetValue() { return Count() ? Params(0)->RawValue() : Variant::null(); }

// ---------------------------------------------------------------------------------------
// The script

TfsScript::TfsScript(TfsScript *parent) : Parent(parent), m_codeLines(new fsinternal::CodeLines) {}

TfsScript::~TfsScript()
{
    m_events.clear();
    m_statement.reset();
    m_owned.clear();
    m_index.clear();
    for (auto &e : m_items)
        delete e.var;
    m_items.clear();
    m_modules.clear();
}

TfsCustomVariable *TfsScript::findUpper(QStringView upper) const
{
    const auto it = m_index.find(upper);
    return it == m_index.end() ? nullptr : it->second.var;
}

void TfsScript::reindex(const QString &upper)
{
    const auto slot = m_index.find(QStringView(upper));
    if (slot == m_index.end())
        return;
    if (slot->second.count <= 0) {
        m_index.erase(slot);
        return;
    }
    for (auto it = m_items.crbegin(); it != m_items.crend(); ++it)
        if (it->upper == upper) {
            slot->second.var = it->var;
            return;
        }
    m_index.erase(slot); // counted wrong: nothing of the name is left
}

void TfsScript::Add(TfsCustomVariable *item)
{
    if (!item)
        return;
    ++m_changes;
    item->AddedBy = AddedBy;
    m_items.push_back(Entry{item->UpperName(), item});
    Slot &slot = m_index[m_items.back().upper];
    slot.var = item;
    ++slot.count;
}

void TfsScript::Remove(TfsCustomVariable *item)
{
    ++m_changes;
    for (auto it = m_items.begin(); it != m_items.end(); ++it)
        if (it->var == item) {
            const QString upper = it->upper;
            m_items.erase(it);
            if (const auto slot = m_index.find(QStringView(upper)); slot != m_index.end()) {
                --slot->second.count;
                if (slot->second.count <= 0 || slot->second.var == item)
                    reindex(upper);
            }
            return;
        }
}

TfsCustomVariable *TfsScript::FindLocal(const QString &name) const
{
    return findUpper(UpperTextKey(name).view());
}

TfsCustomVariable *TfsScript::Find(const QString &name) const
{
    const UpperTextKey key(name);
    for (const TfsScript *s = this; s; s = s->Parent)
        if (TfsCustomVariable *v = s->findUpper(key.view()))
            return v;
    return nullptr;
}

TfsClassVariable *TfsScript::FindClass(const QString &name) const
{
    return dynamic_cast<TfsClassVariable *>(Find(name));
}

TfsClassVariable *TfsScript::FindClassOf(const Object *obj) const
{
    if (!obj)
        return nullptr;
    for (const ClassInfo *ci = obj->classInfo(); ci; ci = ci->parent)
        if (TfsClassVariable *c = FindClass(ci->name))
            return c;
    return FindClass(QStringLiteral("TObject"));
}

void TfsScript::deleteItemsIf(const std::function<bool(TfsCustomVariable *)> &pred)
{
    ++m_changes;
    std::vector<TfsCustomVariable *> doomed;
    std::vector<Entry> kept;
    kept.reserve(m_items.size());
    QStringList lost; // names whose found item goes
    for (auto &e : m_items) {
        if (!pred(e.var)) {
            kept.push_back(e);
            continue;
        }
        doomed.push_back(e.var);
        if (const auto slot = m_index.find(QStringView(e.upper)); slot != m_index.end()) {
            --slot->second.count;
            if (slot->second.count <= 0 || slot->second.var == e.var)
                lost.append(e.upper);
        }
    }
    m_items.swap(kept);
    for (const QString &name : lost)
        reindex(name);
    for (TfsCustomVariable *v : doomed)
        delete v;
}

void TfsScript::ClearEvents()
{
    m_events.clear();
}

void TfsScript::clearStatements()
{
    ++m_changes;
    m_events.clear();
    m_statement.reset();
    m_owned.clear();
    m_codeLines->lines.clear();
}

void TfsScript::Clear()
{
    clearStatements();
    deleteItemsIf([](TfsCustomVariable *v) { return v->AddedBy != &kRTTIMark; });
    ErrorMsg.clear();
    ErrorPos.clear();
    ErrorUnit.clear();
    RunErrorPos.clear();
    RunErrorUnit.clear();
}

void TfsScript::ClearItems(const void *owner)
{
    clearStatements();
    deleteItemsIf([owner](TfsCustomVariable *v) { return v->AddedBy == owner; });
}

Variant TfsScript::Variables(const QString &name) const
{
    TfsCustomVariable *v = Find(name);
    return v ? v->GetValue() : Variant::null();
}

void TfsScript::SetVariables(const QString &name, const Variant &value)
{
    if (TfsCustomVariable *v = Find(name)) {
        v->SetValue(value);
        return;
    }
    auto *v = new TfsVariable(name, fvtVariant, QStringLiteral("Variant"));
    v->SetValue(value);
    Add(v);
}

TfsVarType TfsScript::ResolveTypeName(const QString &typ, QString &typeName) const
{
    typeName = typ;
    if (auto *t = dynamic_cast<TfsTypeVariable *>(Find(typ)))
        return t->Typ;
    return fvtClass;
}

void TfsScript::AddType(const QString &typeName, TfsVarType parentType)
{
    if (Find(typeName))
        return;
    Add(new TfsTypeVariable(typeName, parentType, typeName));
}

TfsCustomVariable *TfsScript::AddConst(const QString &name, const QString &typ, const Variant &value)
{
    if (Find(name))
        return nullptr;
    QString tn;
    const TfsVarType t = ResolveTypeName(typ, tn);
    TfsCustomVariable *v = makeVariable(name, t, tn);
    v->SetValue(value);
    v->IsReadOnly = true;
    Add(v);
    return v;
}

TfsCustomVariable *TfsScript::AddVariable(const QString &name, const QString &typ, const Variant &value)
{
    TfsCustomVariable *v = AddConst(name, typ, value);
    if (v) {
        v->IsReadOnly = false;
        v->OnGetVarValue = OnGetVarValue;
    }
    return v;
}

TfsCustomVariable *TfsScript::AddObject(const QString &name, Object *obj)
{
    const ClassInfo *ci = obj ? obj->classInfo() : nullptr;
    QString cls = ci ? ci->name : QStringLiteral("TObject");
    // Typed by the nearest registered class, so members resolve at compile time.
    for (const ClassInfo *c = ci; c; c = c->parent)
        if (FindClass(c->name)) {
            cls = c->name;
            break;
        }
    return AddVariable(name, cls, Variant::fromObject(obj));
}

void TfsScript::addEnumImpl(const QString &typeName, const QString &names, bool isSet)
{
    if (!Find(typeName))
        Add(new TfsTypeVariable(typeName, fvtEnum, typeName));
    const QStringList list = names.split(QLatin1Char(','));
    qint64 value = isSet ? 1 : 0;
    for (const QString &raw : list) {
        const QString n = raw.trimmed();
        if (!n.isEmpty() && !Find(n)) {
            auto *v = new TfsVariable(n, fvtEnum, typeName);
            v->SetRawValue(value <= INT32_MAX ? Variant(int(value)) : Variant(value));
            v->IsReadOnly = true;
            Add(v);
        }
        value = isSet ? value * 2 : value + 1;
    }
}

void TfsScript::AddEnum(const QString &typeName, const QString &names) { addEnumImpl(typeName, names, false); }

void TfsScript::AddEnumSet(const QString &typeName, const QString &names) { addEnumImpl(typeName, names, true); }

void TfsScript::registerMethod(TfsMethodHelper *h, const QString &category, const QString &description)
{
    h->Category = category;
    h->Description = description.isEmpty() ? h->Name() : description;
    Add(h);
}

TfsMethodHelper *TfsScript::AddMethod(const QString &syntax, TfsCallMethodEvent callEvent, const QString &category,
                                      const QString &description)
{
    auto *h = new TfsMethodHelper(syntax, this);
    h->OnCall = std::move(callEvent);
    registerMethod(h, category, description);
    return h;
}

TfsMethodHelper *TfsScript::AddMethod(const QString &syntax, TfsCallMethodNewEvent callEvent,
                                      const QString &category, const QString &description)
{
    auto *h = new TfsMethodHelper(syntax, this);
    h->OnCallNew = std::move(callEvent);
    registerMethod(h, category, description);
    return h;
}

TfsClassVariable *TfsScript::AddClass(const ClassInfo *aClass, const QString &ancestor)
{
    if (!aClass || Find(aClass->name))
        return nullptr;
    auto *cls = new TfsClassVariable(aClass, aClass->name, ancestor, this);
    Add(cls);
    cls->addPublished();
    if (TfsClassVariable *anc = FindClass(ancestor); anc && anc != cls)
        cls->DefProperty = anc->DefProperty;
    return cls;
}

TfsClassVariable *TfsScript::AddClass(const QString &className, const QString &ancestor)
{
    if (Find(className))
        return nullptr;
    auto *cls = new TfsClassVariable(findClass(className), className, ancestor, this);
    Add(cls);
    cls->addPublished();
    if (TfsClassVariable *anc = FindClass(ancestor); anc && anc != cls)
        cls->DefProperty = anc->DefProperty;
    return cls;
}

void TfsScript::AddRTTI()
{
    if (m_rttiAdded)
        return;
    m_rttiAdded = true;
    const void *saved = AddedBy;
    AddedBy = &kRTTIMark;
    for (const TfsRTTIModuleClass &mc : fsRTTIModules())
        if (mc)
            m_modules.emplace_back(mc(this));
    AddedBy = saved;
}

void TfsScript::ClearRTTI()
{
    clearStatements();
    deleteItemsIf([](TfsCustomVariable *v) { return v->AddedBy == &kRTTIMark; });
    m_modules.clear();
    m_rttiAdded = false;
}

void TfsScript::AddCodeLine(const QString &unitName, const QString &aPos)
{
    const int line = aPos.section(QLatin1Char(':'), 0, 0).toInt();
    if (line > 0)
        m_codeLines->lines[unitName.toUpper()].insert(line);
}

bool TfsScript::IsExecutableLine(int lineN, const QString &unitName) const
{
    auto it = m_codeLines->lines.constFind(unitName.toUpper());
    return it != m_codeLines->lines.constEnd() && it->contains(lineN);
}

void TfsScript::KeepEvent(TfsCustomEvent *event) { m_events.emplace_back(event); }

void TfsScript::KeepItem(TfsCustomVariable *item) { m_owned.emplace_back(item); }

TfsScript *TfsScript::RunLineOwner()
{
    for (TfsScript *s = this; s; s = s->Parent)
        if (s->OnRunLine)
            return s;
    return nullptr;
}

TfsScript *TfsScript::Root()
{
    TfsScript *s = this;
    while (s->Parent)
        s = s->Parent;
    return s;
}

void TfsScript::NoteRunError(const QString &unit, const QString &pos)
{
    TfsScript *r = Root();
    if (r->RunErrorPos.isEmpty()) {
        r->RunErrorPos = pos;
        r->RunErrorUnit = unit;
    }
}

bool TfsScript::Compile()
{
    ErrorMsg.clear();
    ErrorPos.clear();
    ErrorUnit.clear();
    try {
        TfsILParser parser(this);
        parser.SelectLanguage(SyntaxType);
        const QString text = Lines.join(QStringLiteral("\r\n"));
        if (const auto program = ilcache::reuse(parser, SyntaxType, ExtendedCharset, text)) {
            parseIL(parser, program.get());
        } else if (parser.MakeILScript(text)) {
            ilcache::keep(parser, SyntaxType, ExtendedCharset, text);
            parseIL(parser);
        }
    } catch (const Error &e) {
        ErrorMsg = e.message();
    } catch (const std::exception &e) {
        ErrorMsg = QString::fromUtf8(e.what());
    }
    const bool ok = ErrorMsg.isEmpty();
    if (ok)
        ErrorPos.clear();
    return ok;
}

void TfsScript::Execute()
{
    FExitCalled = false;
    FTerminated = false;
    IsRunning = true;
    MainProg = true;
    RunErrorPos.clear();
    RunErrorUnit.clear();
    struct Reset {
        TfsScript *s;
        ~Reset()
        {
            s->FExitCalled = false;
            s->FTerminated = false;
            s->FBreakCalled = false;
            s->FContinueCalled = false;
            s->IsRunning = false;
        }
    } reset{this};
    if (m_statement)
        m_statement->Execute();
}

bool TfsScript::Run()
{
    if (!Compile())
        return false;
    Execute();
    return true;
}

void TfsScript::GetILCode(QIODevice *stream)
{
    ErrorMsg.clear();
    ErrorPos.clear();
    try {
        TfsILParser parser(this);
        parser.SelectLanguage(SyntaxType);
        if (parser.MakeILScript(Lines.join(QStringLiteral("\r\n"))))
            parser.ILScript()->SaveToStream(stream);
    } catch (const Error &e) {
        ErrorMsg = e.message();
    } catch (const std::exception &e) {
        ErrorMsg = QString::fromUtf8(e.what());
    }
}

bool TfsScript::SetILCode(QIODevice *stream)
{
    ErrorMsg.clear();
    ErrorPos.clear();
    ErrorUnit.clear();
    try {
        TfsILParser parser(this);
        parser.SelectLanguage(SyntaxType);
        parser.ILScript()->LoadFromStream(stream);
        parseIL(parser);
    } catch (const Error &e) {
        ErrorMsg = e.message();
    } catch (const std::exception &e) {
        ErrorMsg = QString::fromUtf8(e.what());
    }
    return ErrorMsg.isEmpty();
}

Variant TfsScript::CallFunction(const QString &name, const Variant &params)
{
    return CallFunction2(dynamic_cast<TfsProcVariable *>(FindLocal(name)), params);
}

Variant TfsScript::CallFunction2(TfsProcVariable *func, const Variant &params)
{
    if (!func)
        return Variant::null();
    QVector<Variant> args;
    if (params.isArray()) {
        args = params.elements();
        if (args.size() > func->Count())
            throw EListError(QStringLiteral("List index out of bounds (%1)").arg(func->Count()));
    }
    if (!IsRunning) {
        RunErrorPos.clear();
        RunErrorUnit.clear();
    }
    return func->Call(args.constData(), int(args.size()));
}

Variant TfsScript::CallFunction1(const QString &name, Variant &params)
{
    auto *func = dynamic_cast<TfsProcVariable *>(FindLocal(name));
    if (!func)
        return Variant::null();
    QVector<Variant> args;
    if (params.isArray()) {
        args = params.elements();
        if (args.size() > func->Count())
            throw EListError(QStringLiteral("List index out of bounds (%1)").arg(func->Count()));
    }
    QVector<Variant> finals;
    Variant r = func->Call(args.constData(), int(args.size()), &finals);
    if (params.isArray() && params.dimCount() == 1) {
        const int low = params.bound(1).low;
        for (int i = 0; i < args.size() && i < finals.size(); ++i)
            params.at({low + i}) = finals[i];
    }
    return r;
}

Variant TfsScript::Evaluate(const QString &expression)
{
    Variant result = Variant::null();
    EvaluteRiseError = false;
    TfsScript *parent = ProgRunning ? ProgRunning : this;
    TfsScript sc(parent);
    // Lend the registrations only when nothing up the chain has them; a second copy in the
    // temporary scope would hide same-named locals of the running procedure.
    bool registered = false;
    for (const TfsScript *p = parent; p && !registered; p = p->Parent)
        registered = p->RTTIAdded();
    if (!registered)
        sc.AddRTTI();
    sc.OnGetVarValue = parent->OnGetVarValue;
    sc.SyntaxType = SyntaxType;
    sc.ExtendedCharset = ExtendedCharset;
    sc.IncludePath = IncludePath;
    sc.UseClassLateBinding = UseClassLateBinding;
    struct Suspend {
        TfsScript *s;
        TfsRunLineEvent saved;
        ~Suspend() { s->OnRunLine = std::move(saved); }
    } suspend{this, std::move(OnRunLine)};
    OnRunLine = nullptr;

    const QString lang = SyntaxType.toLower();
    QString text;
    if (lang == QLatin1String("r++ivezud"))
        text = QStringLiteral("Variant fsEvaluateFUNC() { return ") + expression + QStringLiteral("; } {}");
    else if (lang == QLatin1String("vozurovuzur"))
        text = QStringLiteral("function fsEvaluateFUNC\r\nreturn ") + expression + QStringLiteral("\r\nend function");
    else if (lang == QLatin1String("jscript"))
        text = QStringLiteral("function fsEvaluateFUNC() { return (") + expression + QStringLiteral("); }");
    else
        text = QStringLiteral("function fsEvaluateFUNC: Variant; begin Result := ") + expression
            + QStringLiteral(" end; begin end.");
    sc.Lines = text.split(QStringLiteral("\r\n"));
    if (sc.Compile()) {
        result = sc.CallFunction2(dynamic_cast<TfsProcVariable *>(sc.FindLocal(QStringLiteral("fsEvaluateFUNC"))),
                                  Variant());
    } else {
        result = Variant(sc.ErrorMsg);
        EvaluteRiseError = true;
    }
    return result;
}

void TfsScript::Terminate()
{
    FTerminated = true;
    FExitCalled = true;
    for (auto &e : m_items)
        if (auto *p = dynamic_cast<TfsProcVariable *>(e.var))
            p->Prog()->Terminate();
}

} // namespace tw
