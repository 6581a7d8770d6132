#pragma once

#include "base/error.h"
#include "base/metadata.h"
#include "base/object.h"
#include "base/variant.h"
#include "script/grammarwalker.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tw {

// A list index outside the list (CallFunction with more arguments than parameters).
TW_DECLARE_ERROR(EListError, Error)
// Script calls nested too deeply (runaway recursion): "Stack overflow".
TW_DECLARE_ERROR(EStackOverflow, Error)

enum TfsVarType {
    fvtInt, fvtBool, fvtFloat, fvtChar, fvtString, fvtClass, fvtArray, fvtVariant, fvtEnum,
    fvtConstructor, fvtInt64
};

// The name of a type in messages: "Integer", "Extended" ... or the class/enum's own name.
QString fsTypeToString(TfsVarType typ, const QString &typeName);

class TfsScript;
class TfsParamItem;
class TfsProcVariable;
class TfsClassVariable;
class TfsMethodHelper;
class TfsPropertyHelper;
class TfsCustomEvent;
class TfsStatement;

using TfsGetVarValueEvent = std::function<Variant(const QString &varName, TfsVarType varTyp, const Variant &oldValue)>;
using TfsRunLineEvent = std::function<void(TfsScript *sender, const QString &unitName, const QString &sourcePos)>;
using TfsGetILUnitEvent = std::function<void(TfsScript *sender, const QString &unitName, QByteArray &ilCode)>;

// Host callbacks; method and property names arrive upper-cased.
using TfsCallMethodEvent = std::function<Variant(Object *instance, const ClassInfo *classType,
                                                 const QString &methodName, QVector<Variant> &params)>;
using TfsCallMethodNewEvent = std::function<Variant(Object *instance, const ClassInfo *classType,
                                                    const QString &methodName, TfsMethodHelper *caller)>;
using TfsGetValueEvent = std::function<Variant(Object *instance, const ClassInfo *classType, const QString &propName)>;
using TfsSetValueEvent = std::function<void(Object *instance, const ClassInfo *classType, const QString &propName,
                                            const Variant &value)>;
using TfsGetValueNewEvent = std::function<Variant(Object *instance, const ClassInfo *classType,
                                                  const QString &propName, TfsPropertyHelper *helper)>;
using TfsSetValueNewEvent = std::function<void(Object *instance, const ClassInfo *classType, const QString &propName,
                                               const Variant &value, TfsPropertyHelper *helper)>;

// What the host's event property calls: the native arguments as variants, var ones written back.
using TfsEventMethod = std::function<void(QVector<Variant> &args)>;
// Makes the adapter of an event class for (object, handler).
using TfsEventClass = std::function<TfsCustomEvent *(Object *instance, TfsProcVariable *handler)>;

// Host objects whose event properties can call script procedures.
class TfsEventHost {
public:
    virtual ~TfsEventHost() = default;
    // An empty method clears the event.
    virtual void SetScriptEvent(const QString &eventName, TfsEventMethod method) = 0;
};

// A symbol: variable, constant, type, procedure, registered class or member helper.
// Its items are its parameters.
class TfsCustomVariable {
public:
    TfsCustomVariable(const QString &name, TfsVarType typ, const QString &typeName);
    virtual ~TfsCustomVariable();
    TfsCustomVariable(const TfsCustomVariable &) = delete;
    TfsCustomVariable &operator=(const TfsCustomVariable &) = delete;

    const QString &Name() const { return m_name; }
    const QString &UpperName() const { return m_upperName; }

    virtual void Clear();
    virtual Variant GetValue();
    virtual void SetValue(const Variant &value);
    Variant Value() { return GetValue(); }

    int Count() const { return int(m_params.size()); }
    TfsParamItem *Params(int index) const { return m_params[size_t(index)]; }
    void AddParam(TfsParamItem *param) { m_params.push_back(param); }
    // Parameters without a default that a call must supply.
    int RequiredCount() const;

    // The stored value without conversion or OnGetVarValue (for loops, recursion saves).
    const Variant &RawValue() const { return m_value; }
    Variant &RawValueRef() { return m_value; }
    virtual void SetRawValue(const Variant &value) { m_value = value; }

    TfsVarType Typ;
    QString TypeName;
    bool IsReadOnly = false;
    bool IsMacro = false;
    bool NeedResult = true;
    TfsCustomVariable *RefItem = nullptr;
    QString SourcePos;
    QString SourceUnit;
    const void *AddedBy = nullptr;
    TfsGetVarValueEvent OnGetVarValue;

protected:
    void setName(const QString &name);
    bool m_ownsParams = true;
    Variant m_value;

private:
    QString m_name;
    QString m_upperName;
    std::vector<TfsParamItem *> m_params;
};

// A declared variable: values are converted to its type.
class TfsVariable : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
};

// A String or Char variable, kept as text.
class TfsStringVariable : public TfsCustomVariable {
public:
    TfsStringVariable(const QString &name, TfsVarType typ, const QString &typeName);
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
    void SetRawValue(const Variant &value) override;
    QString &Str() { return m_str; }

private:
    QString m_str;
};

// A type name standing for its Typ.
class TfsTypeVariable : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;
};

class TfsParamItem : public TfsCustomVariable {
public:
    TfsParamItem(const QString &name, TfsVarType typ, const QString &typeName, bool isOptional, bool isVarParam);
    bool IsVarParam;
    bool IsOptional;
    Variant DefValue;
};

// A script procedure or function with its own local scope.
class TfsProcVariable : public TfsCustomVariable {
public:
    TfsProcVariable(const QString &name, TfsVarType typ, const QString &typeName, TfsScript *parent, bool isFunc);
    ~TfsProcVariable() override;

    Variant GetValue() override; // calls with the parameters' current values
    // Assigns the arguments, runs the body and returns the result (Null for a procedure).
    // varResults, when given, gets the final value of every parameter.
    Variant Call(const Variant *args, int count, QVector<Variant> *finalParams = nullptr);

    TfsScript *Prog() const { return m_prog; }
    bool IsFunc;
    bool Executing = false;

private:
    TfsScript *m_prog;
};

class TfsCustomHelper : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;
    TfsCustomVariable *ParentRef = nullptr;
    Variant ParentValue;
    TfsScript *Prog = nullptr;
};

class TfsPropertyHelper : public TfsCustomHelper {
public:
    using TfsCustomHelper::TfsCustomHelper;
    Variant GetValue() override;
    void SetValue(const Variant &value) override;

    const ClassInfo *ClassRef = nullptr;
    bool IsPublished = false;
    const PropInfo *Prop = nullptr; // published properties
    TfsGetValueEvent OnGetValue;
    TfsSetValueEvent OnSetValue;
    TfsGetValueNewEvent OnGetValueNew;
    TfsSetValueNewEvent OnSetValueNew;
};

class TfsMethodHelper : public TfsCustomHelper {
public:
    // Syntax is a declaration string; its parameters become this helper's items.
    TfsMethodHelper(const QString &syntax, TfsScript *script);
    Variant GetValue() override;
    void SetValue(const Variant &value) override; // indexed properties

    // New-style callbacks read and write the arguments through these.
    Variant GetVParam(int index) { return Params(index)->GetValue(); }
    void SetVParam(int index, const Variant &value) { Params(index)->SetValue(value); }
    // The value being assigned to an indexed property (new style).
    const Variant &SetValueParam() const { return m_setValue; }

    QString Syntax;
    QString Category;
    QString Description;
    const ClassInfo *ClassRef = nullptr;
    bool IndexMethod = false;
    TfsCallMethodEvent OnCall;
    TfsCallMethodNewEvent OnCallNew;
    QVector<Variant> VarArray;

private:
    Variant invoke(const QString &name, bool setting, const Variant &value);
    Variant m_setValue;
    QString m_getName;
    QString m_setName;
};

class TfsComponentHelper : public TfsCustomHelper {
public:
    TfsComponentHelper(const QString &name, Object *component, const QString &className);
    Variant GetValue() override;
    Object *Component;
};

// Converts host event arguments into a call of a script procedure.
class TfsCustomEvent {
public:
    TfsCustomEvent(Object *instance, TfsProcVariable *handler) : Instance(instance), Handler(handler) {}
    virtual ~TfsCustomEvent() = default;
    // The method the object's event property stores.
    virtual TfsEventMethod GetMethod();
    // Runs the handler with the arguments unless it is already running; var arguments
    // take the handler's final parameter values.
    void CallHandler(QVector<Variant> &args);

    Object *Instance;
    TfsProcVariable *Handler;
};

// The adapters of the system; they differ only in the arguments the host passes.
class TfsNotifyEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsMouseEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsMouseMoveEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsKeyEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsKeyPressEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsCloseEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsCloseQueryEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsCanResizeEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsDatasetNotifyEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsFilterRecordEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };
class TfsFieldGetTextEvent : public TfsCustomEvent { using TfsCustomEvent::TfsCustomEvent; };

template <class E>
TfsEventClass fsEventClass()
{
    return [](Object *o, TfsProcVariable *h) -> TfsCustomEvent * { return new E(o, h); };
}

class TfsEventHelper : public TfsCustomHelper {
public:
    TfsEventHelper(const QString &name, TfsEventClass eventClass);
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
    TfsEventClass EventClass;
};

// Index of an array variable.
class TfsArrayHelper : public TfsCustomHelper {
public:
    TfsArrayHelper(const QString &name, int dims);
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
};

// One character of a string variable.
class TfsStringHelper : public TfsCustomHelper {
public:
    TfsStringHelper();
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
};

// A host class as scripts see it.
class TfsClassVariable : public TfsCustomVariable {
public:
    TfsClassVariable(const ClassInfo *classRef, const QString &className, const QString &ancestor, TfsScript *program);
    ~TfsClassVariable() override;

    TfsMethodHelper *AddConstructor(const QString &syntax, TfsCallMethodEvent callEvent);
    TfsMethodHelper *AddConstructor(const QString &syntax, TfsCallMethodNewEvent callEvent);
    TfsMethodHelper *AddMethod(const QString &syntax, TfsCallMethodEvent callEvent);
    TfsMethodHelper *AddMethod(const QString &syntax, TfsCallMethodNewEvent callEvent);
    TfsPropertyHelper *AddProperty(const QString &name, const QString &typ, TfsGetValueEvent getEvent,
                                   TfsSetValueEvent setEvent = nullptr);
    TfsPropertyHelper *AddPropertyEx(const QString &name, const QString &typ, TfsGetValueNewEvent getEvent,
                                     TfsSetValueNewEvent setEvent = nullptr);
    // params: comma-separated index types.
    TfsMethodHelper *AddIndexProperty(const QString &name, const QString &params, const QString &typ,
                                      TfsCallMethodEvent callEvent, bool readOnly = false);
    TfsMethodHelper *AddDefaultProperty(const QString &name, const QString &params, const QString &typ,
                                        TfsCallMethodEvent callEvent, bool readOnly = false);
    TfsEventHelper *AddEvent(const QString &name, TfsEventClass eventClass);
    TfsComponentHelper *AddComponent(const QString &name, Object *component, const QString &className);

    // A member of this class or its registered ancestors, or nullptr.
    TfsCustomHelper *Find(const QString &name) const;
    int MembersCount() const { return int(m_members.size()); }
    TfsCustomHelper *GetMembers(int index) const { return m_members[size_t(index)].get(); }

    // A type cast yields its argument.
    Variant GetValue() override;

    const ClassInfo *ClassRef;
    QString Ancestor;
    TfsMethodHelper *DefProperty = nullptr;
    TfsScript *Program;

private:
    friend class TfsScript;
    void addMember(TfsCustomHelper *member);
    void addPublished();
    TfsVarType resolveType(const QString &typ, QString &typeName) const;
    std::vector<std::unique_ptr<TfsCustomHelper>> m_members;
};

// The host's look at a running script: called now and then from loop iterations and
// script calls (at most about every 20 ms), so that the host can handle its input and
// Terminate a script that would never end. One handler for the process: scripts run on
// one thread. An empty handler turns the check off.
void fsSetRunCheck(std::function<void()> handler);

namespace fsinternal {
extern unsigned runCheckCountdown;
[[gnu::cold, gnu::noinline]] void runCheckDue();
// One step of a loop or a call: a decrement, and the handler's turn once in a while.
inline void runCheckStep()
{
    if (--runCheckCountdown == 0) [[unlikely]]
        runCheckDue();
}
} // namespace fsinternal

// Registers items into a script; every script instantiates each listed module once.
class TfsRTTIModule {
public:
    explicit TfsRTTIModule(TfsScript *script) : FScript(script) {}
    virtual ~TfsRTTIModule() = default;
    TfsScript *FScript;
};

using TfsRTTIModuleClass = std::function<TfsRTTIModule *(TfsScript *script)>;
// The process-wide module list, filled while the program starts.
void fsRegisterRTTIModule(TfsRTTIModuleClass moduleClass);
const std::vector<TfsRTTIModuleClass> &fsRTTIModules();

namespace fsinternal {
class Builder;
struct CodeLines;
} // namespace fsinternal

// One script program and, for procedures, one local scope.
class TfsScript : public ScriptCompileTarget {
public:
    explicit TfsScript(TfsScript *parent = nullptr);
    ~TfsScript() override;
    TfsScript(const TfsScript &) = delete;
    TfsScript &operator=(const TfsScript &) = delete;

    QStringList Lines;
    QString SyntaxType = QStringLiteral("RavidiReduva");
    // Supplies the intermediate program of a unit that the main program names but does not contain.
    TfsGetILUnitEvent OnGetILUnit;
    TfsRunLineEvent OnRunLine;
    TfsGetVarValueEvent OnGetVarValue;

    TfsScript *Parent = nullptr;
    const void *AddedBy = nullptr;
    bool UseClassLateBinding = false;
    bool EvaluteRiseError = false;
    bool IsRunning = false;
    bool MainProg = false;
    TfsScript *ProgRunning = nullptr;
    QStringList Macros;
    // Position and unit of the statement that raised the last run-time error.
    QString RunErrorPos;
    QString RunErrorUnit;

    bool Compile();
    void Execute();
    bool Run();
    void GetILCode(QIODevice *stream);
    bool SetILCode(QIODevice *stream);

    Variant CallFunction(const QString &name, const Variant &params);
    Variant CallFunction1(const QString &name, Variant &params);
    Variant CallFunction2(TfsProcVariable *func, const Variant &params);
    Variant Evaluate(const QString &expression);
    void Terminate();

    TfsCustomVariable *Find(const QString &name) const;
    TfsCustomVariable *FindLocal(const QString &name) const;
    TfsClassVariable *FindClass(const QString &name) const;
    // The registered class of an object (its class or nearest registered ancestor).
    TfsClassVariable *FindClassOf(const Object *obj) const;

    void Add(TfsCustomVariable *item);
    void Remove(TfsCustomVariable *item);
    int Count() const { return int(m_items.size()); }
    TfsCustomVariable *GetItem(int index) const { return m_items[size_t(index)].var; }

    void Clear();
    void ClearItems(const void *owner);
    // Counts the items added and removed and the programs compiled: a program compiled
    // against these symbols still binds as a new compile would while this stays the same.
    quint64 Changes() const { return m_changes; }
    // Drops the event adapters the last run bound to host objects.
    void ClearEvents();

    Variant Variables(const QString &name) const;
    void SetVariables(const QString &name, const Variant &value);

    TfsStatement *Statement() const { return m_statement.get(); }

    // Host registration.
    void AddType(const QString &typeName, TfsVarType parentType);
    TfsCustomVariable *AddConst(const QString &name, const QString &typ, const Variant &value);
    TfsCustomVariable *AddVariable(const QString &name, const QString &typ, const Variant &value);
    TfsCustomVariable *AddObject(const QString &name, Object *obj);
    void AddEnum(const QString &typeName, const QString &names);
    void AddEnumSet(const QString &typeName, const QString &names);
    TfsMethodHelper *AddMethod(const QString &syntax, TfsCallMethodEvent callEvent,
                               const QString &category = QString(), const QString &description = QString());
    TfsMethodHelper *AddMethod(const QString &syntax, TfsCallMethodNewEvent callEvent,
                               const QString &category = QString(), const QString &description = QString());
    TfsClassVariable *AddClass(const ClassInfo *aClass, const QString &ancestor);
    // For host classes without published properties.
    TfsClassVariable *AddClass(const QString &className, const QString &ancestor);
    void AddRTTI();
    void ClearRTTI();
    bool RTTIAdded() const { return m_rttiAdded; }

    void AddCodeLine(const QString &unitName, const QString &aPos);
    bool IsExecutableLine(int lineN, const QString &unitName = QString()) const;

    // A type name resolved as registrations do: a type entry gives its type, other names a class.
    TfsVarType ResolveTypeName(const QString &typ, QString &typeName) const;

    // Run flags (per scope object).
    bool FTerminated = false;
    bool FExitCalled = false;
    bool FBreakCalled = false;
    bool FContinueCalled = false;

    // Keeps an event adapter alive as long as the script.
    void KeepEvent(TfsCustomEvent *event);
    // Owns a compiled helper that is not in the table (indexers).
    void KeepItem(TfsCustomVariable *item);
    // The first script up the chain with an OnRunLine handler.
    TfsScript *RunLineOwner();
    // The top of the parent chain.
    TfsScript *Root();
    // Records where a run-time error came from (first one wins until the next run).
    void NoteRunError(const QString &unit, const QString &pos);

private:
    friend class fsinternal::Builder;
    struct Entry {
        QString upper;
        TfsCustomVariable *var;
    };
    // Builds the program from the parser's intermediate program, or from `program` (which
    // is only read) when given.
    bool parseIL(TfsILParser &parser, const TfsXMLItem *program = nullptr);
    void clearStatements();
    void deleteItemsIf(const std::function<bool(TfsCustomVariable *)> &pred);
    void addEnumImpl(const QString &typeName, const QString &names, bool isSet);
    void registerMethod(TfsMethodHelper *helper, const QString &category, const QString &description);
    TfsCustomVariable *findUpper(QStringView upper) const;
    // After items of that name were taken out: the last added one left, or none.
    void reindex(const QString &upper);

    std::vector<Entry> m_items; // in the order added
    quint64 m_changes = 0;
    // Name in capitals -> the last added item of that name (the one found) and how many
    // items have the name.
    struct Slot {
        TfsCustomVariable *var = nullptr;
        int count = 0;
    };
    struct NameHash {
        using is_transparent = void;
        size_t operator()(QStringView s) const noexcept
        {
            return std::hash<std::u16string_view>{}(std::u16string_view(s.utf16(), size_t(s.size())));
        }
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(QStringView a, QStringView b) const noexcept { return a == b; }
    };
    std::unordered_map<QString, Slot, NameHash, NameEqual> m_index;
    std::vector<std::unique_ptr<TfsRTTIModule>> m_modules;
    std::vector<std::unique_ptr<TfsCustomEvent>> m_events;
    std::vector<std::unique_ptr<TfsCustomVariable>> m_owned;
    std::unique_ptr<TfsStatement> m_statement;
    std::unique_ptr<fsinternal::CodeLines> m_codeLines;
    bool m_rttiAdded = false;
};

} // namespace tw
