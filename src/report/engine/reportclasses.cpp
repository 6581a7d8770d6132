#include "report/engine/reportclasses.h"

#include "base/datetime.h"
#include "report/engine/datasetclasses.h"
#include "report/engine/queryclasses.h"
#include "report/engine/engine.h"
#include "report/engine/outline.h"
#include "report/engine/previewpages.h"
#include "report/model/report.h"
#include "report/model/colors.h"
#include "report/model/objectmodel.h"
#include "report/model/dialogcontrols.h"
#include "report/model/font.h"
#include "report/model/frame.h"
#include "report/model/memo.h"
#include "report/xml/resources.h"
#include "script/classregistry.h"
#include "script/messages.h"

#include <QHash>
#include <cmath>
#include <mutex>

namespace tw {

namespace {

using Params = QVector<Variant>;

Variant obj(Object *o) { return Variant::fromObject(o); }

template <class T>
T *as(Object *o)
{
    T *t = dynamic_cast<T *>(o);
    if (!t)
        throw Error(QStringLiteral("Object is nil"));
    return t;
}

// The script sees a component's children as a TList; one list per component is refilled
// on every read so scripts never hold a dangling list.
TList *componentList(const TfrxComponent *c, const QList<TfrxComponent *> &items, int which)
{
    static QHash<QPair<const TfrxComponent *, int>, TList *> lists;
    TList *&l = lists[qMakePair(c, which)];
    if (!l)
        l = new TList;
    l->Clear();
    for (TfrxComponent *item : items)
        l->Add(Variant::fromObject(item));
    return l;
}

// A memo's lines as the TStrings scripts expect (Memo1.Lines.Add ...).
class TfrxMemoLines : public TStrings {
    TW_OBJECT(TfrxMemoLines)
    explicit TfrxMemoLines(TfrxCustomMemoView *memo) : m_memo(memo) {}
    void rebind(TfrxCustomMemoView *memo) { m_memo = memo; }
    int Count() const override { return int(lines().size()); }
    QString Get(int index) const override
    {
        checkIndex(index);
        return lines().at(index);
    }
    void Put(int index, const QString &s) override
    {
        checkIndex(index);
        lines()[index] = s;
    }
    Object *GetObject(int) const override { return nullptr; }
    void PutObject(int, Object *) override {}
    void Insert(int index, const QString &s) override
    {
        checkIndex(index, true);
        lines().insert(index, s);
    }
    void Delete(int index) override
    {
        checkIndex(index);
        lines().removeAt(index);
    }
    void Clear() override { lines().clear(); }

private:
    QStringList &lines() const { return m_memo->Lines(); }
    TfrxCustomMemoView *m_memo;
};

TW_DEFINE_CLASS(TfrxMemoLines, &TStrings::staticClassInfo()) {}

TfrxMemoLines *memoLines(TfrxCustomMemoView *memo)
{
    static QHash<const TfrxCustomMemoView *, TfrxMemoLines *> adapters;
    TfrxMemoLines *&a = adapters[memo];
    if (!a)
        a = new TfrxMemoLines(memo);
    a->rebind(memo);
    return a;
}

class ClassAdder {
public:
    explicit ClassAdder(TfsScript *s) : m_s(s) {}
    // Adds the class after its registered ancestors; returns the script's class either way.
    TfsClassVariable *add(const ClassInfo *ci)
    {
        if (!ci)
            return nullptr;
        if (TfsClassVariable *c = m_s->FindClass(ci->name))
            return c;
        QString ancestor = QStringLiteral("TComponent");
        if (ci->parent && ci->parent->name != QLatin1String("Component")) {
            add(ci->parent);
            ancestor = ci->parent->name;
        } else if (!ci->parent) {
            ancestor = QStringLiteral("TPersistent");
        }
        m_s->AddClass(ci, ancestor);
        return m_s->FindClass(ci->name);
    }

private:
    TfsScript *m_s;
};

void addConstants(TfsScript *s)
{
    for (auto [name, value] : {std::pair{"fr01cm", fr01cm}, {"fr1cm", fr1cm}, {"fr01in", fr01in}, {"fr1in", fr1in},
                               {"fr1CharX", 9.6}, {"fr1CharY", 17.0}})
        s->AddConst(QString::fromLatin1(name), QStringLiteral("Extended"), Variant(value));
    for (auto [name, value] : {std::pair{"clTransparent", clTransparent}, {"crHand", 1}, {"crZoom", 2}, {"crFormat", 4}})
        s->AddConst(QString::fromLatin1(name), QStringLiteral("Integer"), Variant(value));
}

void addEnums(TfsScript *s)
{
    for (const EnumInfo *e : {&stretchModeEnum(), &shiftModeEnum(), &alignEnum(), &hAlignEnum(), &vAlignEnum(),
                              &shapeKindEnum(), &rangeBeginEnum(), &rangeEndEnum(), &fieldTypeEnum(), &formatKindEnum()})
        s->AddEnum(e->name, e->names.join(QStringLiteral(", ")));
    s->AddEnum(QStringLiteral("TfrxDuplexMode"), QStringLiteral("dmNone, dmVertical, dmHorizontal, dmSimplex"));
    s->AddEnum(QStringLiteral("TfrxZoomMode"), QStringLiteral("zmDefault, zmWholePage, zmPageWidth, zmManyPages"));
    s->AddEnum(QStringLiteral("TfrxPrintPages"), QStringLiteral("ppAll, ppOdd, ppEven"));
    s->AddEnumSet(QStringLiteral("TfrxFrameTypes"), frameTypeEnum().names.join(QStringLiteral(", ")));
    s->AddEnumSet(QStringLiteral("TfrxRestrictions"), frxRestrictionsEnum().names.join(QStringLiteral(", ")));
    s->AddEnumSet(QStringLiteral("TfrxPreviewButtons"),
                  QStringLiteral("pbPrint, pbLoad, pbSave, pbExport, pbZoom, pbFind, pbOutline, pbPageSetup, pbTools, "
                                 "pbEdit, pbNavigator, pbExportQuick, pbNoClose, pbNoFullScreen, pbNoEmail"));
    s->AddEnumSet(QStringLiteral("TfrxDMPFontStyles"),
                  QStringLiteral("fsxBold, fsxItalic, fsxUnderline, fsxSuperScript, fsxSubScript, fsxCondensed, "
                                 "fsxWide, fsx12cpi, fsx15cpi"));
}

// What templates use of the platform's graphics: fonts, frames, highlights and display
// formats of objects, font styles and the standard colours.
void addGraphics(TfsScript *s, ClassAdder &adder)
{
    s->AddEnumSet(QStringLiteral("TFontStyles"), fontStyleEnum().names.join(QStringLiteral(", ")));
    s->AddEnum(QStringLiteral("TfrxFrameStyle"), frameStyleEnum().names.join(QStringLiteral(", ")));
    for (const ClassInfo *ci : {&TFont::staticClassInfo(), &TfrxFrame::staticClassInfo(), &TfrxHighlight::staticClassInfo(),
                                &TfrxFormat::staticClassInfo()})
        adder.add(ci);
    for (const auto &[name, value] : frxStandardColors())
        if (!s->Find(QString::fromLatin1(name)))
            s->AddConst(QString::fromLatin1(name), QStringLiteral("Integer"), Variant(value));
}

void addComponentMembers(TfsClassVariable *c)
{
    c->AddMethod(QStringLiteral("procedure Clear"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        as<TfrxComponent>(inst)->Clear();
        return Variant();
    });
    c->AddMethod(QStringLiteral("function FindObject(s: String): TfrxComponent"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     return obj(as<TfrxComponent>(inst)->FindObject(p[0].toText()));
                 });
    c->AddMethod(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     as<TfrxComponent>(inst)->LoadFromStream(as<TStream>(p[0].toObject())->Device());
                     return Variant();
                 });
    c->AddMethod(QStringLiteral("procedure SaveToStream(Stream: TStream; SaveChildren: Boolean = True)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     as<TfrxComponent>(inst)->SaveToStream(as<TStream>(p[0].toObject())->Device(), p[1].toBool());
                     return Variant();
                 });
    c->AddMethod(QStringLiteral("procedure SetBounds(ALeft, ATop, AWidth, AHeight: Extended)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     as<TfrxComponent>(inst)->SetBounds(p[0].toDouble(), p[1].toDouble(), p[2].toDouble(), p[3].toDouble());
                     return Variant();
                 });
    c->AddProperty(QStringLiteral("Objects"), QStringLiteral("TList"), [](Object *inst, const ClassInfo *, const QString &) {
        auto *t = as<TfrxComponent>(inst);
        return obj(componentList(t, t->Objects(), 0));
    });
    c->AddProperty(QStringLiteral("AllObjects"), QStringLiteral("TList"), [](Object *inst, const ClassInfo *, const QString &) {
        auto *t = as<TfrxComponent>(inst);
        return obj(componentList(t, t->AllObjects(), 1));
    });
    c->AddProperty(QStringLiteral("Parent"), QStringLiteral("TfrxComponent"),
                   [](Object *inst, const ClassInfo *, const QString &) { return obj(as<TfrxComponent>(inst)->Parent()); },
                   [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
                       as<TfrxComponent>(inst)->SetParent(dynamic_cast<TfrxComponent *>(v.toObject()));
                   });
    c->AddProperty(QStringLiteral("Page"), QStringLiteral("TfrxPage"),
                   [](Object *inst, const ClassInfo *, const QString &) { return obj(as<TfrxComponent>(inst)->Page()); });
    c->AddProperty(QStringLiteral("AbsLeft"), QStringLiteral("Extended"),
                   [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxComponent>(inst)->AbsLeft()); });
    c->AddProperty(QStringLiteral("AbsTop"), QStringLiteral("Extended"),
                   [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxComponent>(inst)->AbsTop()); });
}

void addMemoMembers(TfsClassVariable *c)
{
    c->AddProperty(
        QStringLiteral("Text"), QStringLiteral("String"),
        [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxCustomMemoView>(inst)->Text()); },
        [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
            as<TfrxCustomMemoView>(inst)->SetText(v.toText());
        });
    c->AddProperty(
        QStringLiteral("AnsiText"), QStringLiteral("String"),
        [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxCustomMemoView>(inst)->AnsiText()); },
        [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
            as<TfrxCustomMemoView>(inst)->SetAnsiText(v.toText());
        });
    c->AddProperty(QStringLiteral("Lines"), QStringLiteral("TStrings"), [](Object *inst, const ClassInfo *, const QString &) {
        return obj(memoLines(as<TfrxCustomMemoView>(inst)));
    });
    c->AddProperty(
        QStringLiteral("Value"), QStringLiteral("Variant"),
        [](Object *inst, const ClassInfo *, const QString &) { return as<TfrxCustomMemoView>(inst)->Value(); },
        [](Object *inst, const ClassInfo *, const QString &, const Variant &v) { as<TfrxCustomMemoView>(inst)->SetValue(v); });
}

void addReportMembers(TfsClassVariable *c)
{
    c->AddMethod(QStringLiteral("function Calc(const Expr: String): Variant"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) { return as<TfrxReport>(inst)->Calc(p[0].toText()); });
    c->AddMethod(QStringLiteral("function GetDataset(const Alias: String): TfrxDataset"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     return obj(as<TfrxReport>(inst)->GetDataset(p[0].toText()));
                 });
    c->AddMethod(QStringLiteral("function LoadFromFile(const FileName: String): Boolean"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     return Variant(as<TfrxReport>(inst)->LoadFromFile(p[0].toText()));
                 });
    c->AddMethod(QStringLiteral("procedure SaveToFile(const FileName: String)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     as<TfrxReport>(inst)->SaveToFile(p[0].toText());
                     return Variant();
                 });
    c->AddProperty(
        QStringLiteral("Terminated"), QStringLiteral("Boolean"),
        [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxReport>(inst)->Terminated); },
        [](Object *inst, const ClassInfo *, const QString &, const Variant &v) { as<TfrxReport>(inst)->Terminated = v.toBool(); });
    c->AddProperty(QStringLiteral("Variables"), QStringLiteral("TfrxVariables"),
                   [](Object *inst, const ClassInfo *, const QString &) { return obj(&as<TfrxReport>(inst)->Variables()); });
}

void addVariablesClass(TfsScript *s, ClassAdder &adder)
{
    TfsClassVariable *c = adder.add(&TfrxVariables::staticClassInfo());
    if (!c)
        return;
    c->AddConstructor(QStringLiteral("constructor Create"),
                      [](Object *, const ClassInfo *, const QString &, Params &) { return obj(new TfrxVariables); });
    c->AddDefaultProperty(
        QStringLiteral("Variables"), QStringLiteral("String"), QStringLiteral("Variant"),
        [](Object *inst, const ClassInfo *, const QString &name, Params &p) {
            auto *v = as<TfrxVariables>(inst);
            if (name.startsWith(QLatin1String("SET"))) {
                v->Set(p[0].toText(), p[1]);
                return Variant();
            }
            return v->Get(p[0].toText());
        });
    s->AddObject(QStringLiteral("frxGlobalVariables"), &frxGlobalVariables());
}

void addEngineMembers(TfsClassVariable *c)
{
    c->AddMethod(QStringLiteral("procedure StopReport"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        as<TfrxCustomEngine>(inst)->StopReport();
        return Variant();
    });
    c->AddMethod(QStringLiteral("function FreeSpace: Extended"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        return Variant(as<TfrxCustomEngine>(inst)->FreeSpace());
    });
    c->AddMethod(QStringLiteral("procedure AddAnchor(const Text: String)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     as<TfrxCustomEngine>(inst)->AddAnchor(p[0].toText());
                     return Variant();
                 });
    c->AddMethod(QStringLiteral("function GetAnchorPage(const Text: String): Integer"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     return Variant(as<TfrxCustomEngine>(inst)->GetAnchorPage(p[0].toText()));
                 });
    c->AddMethod(QStringLiteral("procedure NewPage"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        as<TfrxCustomEngine>(inst)->NewPage();
        return Variant();
    });
    c->AddMethod(QStringLiteral("procedure NewColumn"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        as<TfrxCustomEngine>(inst)->NewColumn();
        return Variant();
    });
    c->AddMethod(QStringLiteral("procedure ShowBand(Band: TfrxBand)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     as<TfrxCustomEngine>(inst)->ShowBand(dynamic_cast<TfrxBand *>(p[0].toObject()));
                     return Variant();
                 });
}

// The prepared report's outline as scripts see it: items at the engine's current Y.
void addOutlineClass(TfsScript *s)
{
    s->AddClass(QStringLiteral("TfrxCustomOutline"), QStringLiteral("TPersistent"));
    TfsClassVariable *c = s->AddClass(&TfrxOutline::staticClassInfo(), QStringLiteral("TfrxCustomOutline"));
    if (!c)
        c = s->FindClass(QStringLiteral("TfrxOutline"));
    if (!c)
        return;
    c->AddMethod(QStringLiteral("procedure AddItem(const Text: String)"),
                 [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                     auto *o = as<TfrxOutline>(inst);
                     const TfrxCustomEngine *e = o->Pages() && o->Pages()->Report() ? o->Pages()->Report()->Engine() : nullptr;
                     o->AddItem(p[0].toText(), e ? int(std::lround(e->CurY)) : 0);
                     return Variant();
                 });
    c->AddMethod(QStringLiteral("procedure LevelRoot"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        as<TfrxOutline>(inst)->LevelRoot();
        return Variant();
    });
    c->AddMethod(QStringLiteral("procedure LevelUp"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
        as<TfrxOutline>(inst)->LevelUp();
        return Variant();
    });
}

// The report functions of the designer's list; a report's script puts its macro functions
// of the same names in front of the last six.
void addFunctions(TfsScript *s)
{
    auto datePart = [](int part) {
        return [part](Object *, const ClassInfo *, const QString &, Params &p) {
            int y = 0, m = 0, d = 0;
            decodeDate(p[0].toDouble(), y, m, d);
            return Variant(part == 0 ? d : part == 1 ? m : y);
        };
    };
    s->AddMethod(QStringLiteral("function DayOf(Date: TDateTime): Integer"), datePart(0), QStringLiteral("ctDate"));
    s->AddMethod(QStringLiteral("function MonthOf(Date: TDateTime): Integer"), datePart(1), QStringLiteral("ctDate"));
    s->AddMethod(QStringLiteral("function YearOf(Date: TDateTime): Integer"), datePart(2), QStringLiteral("ctDate"));
    auto none = [](Object *, const ClassInfo *, const QString &, Params &) { return Variant::null(); };
    s->AddMethod(QStringLiteral("function IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant"), none,
                 QStringLiteral("ctOther"));
    for (const char *fn : {"SUM", "AVG", "MIN", "MAX"})
        s->AddMethod(QStringLiteral("function %1(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant")
                         .arg(QLatin1String(fn)),
                     none, QStringLiteral("ctAggregate"));
    s->AddMethod(QStringLiteral("function COUNT(Band: Variant = 0; Flags: Integer = 0): Variant"), none,
                 QStringLiteral("ctAggregate"));
}

class TfrxClassRTTI : public TfsRTTIModule {
public:
    explicit TfrxClassRTTI(TfsScript *s) : TfsRTTIModule(s)
    {
        ClassAdder adder(s);
        addConstants(s);
        addEnums(s);
        addGraphics(s, adder);
        addComponentMembers(adder.add(&TfrxComponent::staticClassInfo()));
        // Every class of the object model, each after its ancestors.
        for (const ClassInfo *ci : registeredClasses())
            if (ci->inheritsFrom(&TfrxComponent::staticClassInfo()))
                adder.add(ci);
        for (const ClassInfo *ci : {&TfrxEngineOptions::staticClassInfo(), &TfrxEngine::staticClassInfo()})
            adder.add(ci);

        if (TfsClassVariable *c = s->FindClass(QStringLiteral("TfrxDialogControl")))
            c->AddMethod(QStringLiteral("procedure SetFocus"), [](Object *, const ClassInfo *, const QString &, Params &) {
                return Variant(); // no window behind dialog controls in a batch run
            });
        addMemoMembers(adder.add(&TfrxCustomMemoView::staticClassInfo()));
        if (TfsClassVariable *c = adder.add(&TfrxPictureView::staticClassInfo()))
            c->AddMethod(QStringLiteral("procedure LoadFromFile(filename: String)"),
                         [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                             as<TfrxPictureView>(inst)->LoadFromFile(p[0].toText());
                             return Variant();
                         });
        if (TfsClassVariable *c = adder.add(&TfrxBand::staticClassInfo()))
            c->AddProperty(
                QStringLiteral("Overflow"), QStringLiteral("Boolean"),
                [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxBand>(inst)->Overflow() != nullptr); });
        if (TfsClassVariable *c = adder.add(&TfrxEngineOptions::staticClassInfo()))
            c->AddProperty(
                QStringLiteral("DestroyForms"), QStringLiteral("Boolean"),
                [](Object *inst, const ClassInfo *, const QString &) { return Variant(as<TfrxEngineOptions>(inst)->DestroyForms); },
                [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
                    as<TfrxEngineOptions>(inst)->DestroyForms = v.toBool();
                });
        addReportMembers(adder.add(&TfrxReport::staticClassInfo()));
        addEngineMembers(adder.add(&TfrxCustomEngine::staticClassInfo()));
        addOutlineClass(s);
        addVariablesClass(s, adder);
        frxRegisterDataSetClasses(s);
        frxRegisterQueryScriptClasses(s);
        addFunctions(s);
    }
};

} // namespace

void frxRegisterReportRTTI()
{
    fsRegisterClassesRTTI();
    static std::once_flag once;
    std::call_once(once, [] {
        frxRegisterClasses();
        fsSetComponentOwnerFunction([](const Object *o) -> Object * {
            auto *c = dynamic_cast<const Component *>(o);
            return c ? c->Owner() : nullptr;
        });
        fsRegisterRTTIModule([](TfsScript *script) -> TfsRTTIModule * { return new TfrxClassRTTI(script); });
    });
}

void frxInstallScriptMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
    TfrxResources::SetScriptMessageHandler([](const QString &key, const QString &text) { fsSetMessage(key, text); });
    const TfrxResources &table = frxResources();
    for (const QString &key : TfrxResources::ScriptMessageKeys())
        fsSetMessage(key, table.Get(key));
    });
}

} // namespace tw
