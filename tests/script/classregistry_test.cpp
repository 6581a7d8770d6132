#include "interp_support.h"

#include "base/metadata.h"
#include "script/interpreter.h"

#include <gtest/gtest.h>

using namespace tw;
using tw::test::compileScript;

namespace {

// A host class described by the property metadata, with an event scripts can handle.
class TTestWidget : public Object, public TfsEventHost {
    TW_OBJECT(TTestWidget)
    int tag() const { return m_tag; }
    void setTag(int v) { m_tag = v; }
    bool visible() const { return m_visible; }
    void setVisible(bool v) { m_visible = v; }
    QString caption() const { return m_caption; }
    void setCaption(const QString &v) { m_caption = v; }
    double width() const { return m_width; }
    void setWidth(double v) { m_width = v; }
    int align() const { return m_align; }
    void setAlign(int v) { m_align = v; }
    int readOnlyCount() const { return 9; }

    void SetScriptEvent(const QString &eventName, TfsEventMethod method) override
    {
        events.insert(eventName.toUpper(), std::move(method));
    }
    // Fires an event as the host would; false when no handler is set.
    bool fire(const QString &eventName, QVector<Variant> &args)
    {
        auto it = events.find(eventName.toUpper());
        if (it == events.end() || !*it)
            return false;
        (*it)(args);
        return true;
    }

    QHash<QString, TfsEventMethod> events;

private:
    int m_tag = 0;
    bool m_visible = false;
    QString m_caption;
    double m_width = 0;
    int m_align = 0;
};

const EnumInfo &alignEnum()
{
    static const EnumInfo e{QStringLiteral("TTestAlign"), {QStringLiteral("taLeft"), QStringLiteral("taRight")}};
    return e;
}

TW_DEFINE_CLASS(TTestWidget, nullptr)
{
    ClassBuilder<TTestWidget>(info)
        .integer(QStringLiteral("Tag"), &TTestWidget::tag, &TTestWidget::setTag)
        .boolean(QStringLiteral("Visible"), &TTestWidget::visible, &TTestWidget::setVisible)
        .string(QStringLiteral("Caption"), &TTestWidget::caption, &TTestWidget::setCaption)
        .floating(QStringLiteral("Width"), &TTestWidget::width, &TTestWidget::setWidth)
        .enumeration(QStringLiteral("Align"), alignEnum(), &TTestWidget::align, &TTestWidget::setAlign)
        .integer(QStringLiteral("Count"), &TTestWidget::readOnlyCount, nullptr);
}

struct Call {
    QString name;
    QVector<Variant> params;
    Object *instance = nullptr;
};

// A script with the base types, the widget class (ancestor TfrxComponent, which has FindObject)
// and a string list class with a default indexed property.
struct Host {
    TfsScript s;
    TTestWidget widget;
    QList<Call> calls;
    QStringList lines{QStringLiteral("zero"), QStringLiteral("one")};

    Host()
    {
        tw::test::addBaseTypes(s);
        TfsClassVariable *base = s.AddClass(QStringLiteral("TfrxComponent"), QStringLiteral("TObject"));
        base->AddMethod(QStringLiteral("function FindObject(const AName: String): TfrxComponent"), record());
        TfsClassVariable *w = s.AddClass(&TTestWidget::staticClassInfo(), QStringLiteral("TfrxComponent"));
        w->AddProperty(QStringLiteral("Flag"), QStringLiteral("Boolean"),
                       [](Object *, const ClassInfo *, const QString &) { return Variant(2); });
        w->AddEvent(QStringLiteral("OnClick"), fsEventClass<TfsNotifyEvent>());
        w->AddEvent(QStringLiteral("OnKeyPress"), fsEventClass<TfsKeyPressEvent>());
        w->AddConstructor(QStringLiteral("constructor Create(ATag: Integer)"),
                          [this](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) {
                              auto *o = new TTestWidget;
                              o->setTag(p[0].toInt());
                              made.emplace_back(o);
                              return Variant::fromObject(o);
                          });
        TfsClassVariable *sl = s.AddClass(QStringLiteral("TStrings"), QStringLiteral("TObject"));
        sl->AddDefaultProperty(QStringLiteral("Strings"), QStringLiteral("Integer"), QStringLiteral("String"),
                               [this](Object *inst, const ClassInfo *, const QString &name, QVector<Variant> &p) {
                                   calls.append({name, p, inst});
                                   if (name == QLatin1String("STRINGS.GET"))
                                       return Variant(lines.value(p[0].toInt()));
                                   lines[p[0].toInt()] = p[1].toString();
                                   return Variant();
                               });
        s.AddObject(QStringLiteral("Widget"), &widget);
        s.AddVariable(QStringLiteral("List"), QStringLiteral("TStrings"), Variant::fromObject(&list));
        s.AddEnum(QStringLiteral("TTestAlign"), QStringLiteral("taLeft, taRight"));
    }

    TfsCallMethodEvent record()
    {
        return [this](Object *inst, const ClassInfo *, const QString &name, QVector<Variant> &p) {
            calls.append({name, p, inst});
            return Variant::fromObject(inst);
        };
    }

    bool run(const QString &text, QString *err = nullptr)
    {
        QString e;
        if (!compileScript(s, text, QStringLiteral("RavidiReduva"), &e)) {
            if (err)
                *err = e;
            ADD_FAILURE() << e.toStdString();
            return false;
        }
        s.Execute();
        return true;
    }
    Variant var(const char *name) { return s.Variables(QString::fromLatin1(name)); }

    // An object the list variable points at; its class has no metadata.
    struct PlainObject : Object {} list;
    std::vector<std::unique_ptr<TTestWidget>> made;
};

} // namespace

TEST(Registry, PublishedPropertiesComeFromTheMetadata)
{
    Host h;
    h.widget.setTag(5);
    h.widget.setCaption(QStringLiteral("abc"));
    ASSERT_TRUE(h.run(QStringLiteral(
        "var t: Integer; c: String; v: Boolean; a: TTestAlign;\n"
        "begin t := Widget.Tag; c := Widget.Caption; v := Widget.Visible;\n"
        "  Widget.Tag := t + 1; Widget.Caption := c + 'd'; Widget.Visible := True; Widget.Width := 2.5;\n"
        "  Widget.Align := taRight; a := Widget.Align;\n"
        "end.")));
    EXPECT_TRUE(h.var("t").sameAs(Variant(5)));
    EXPECT_EQ(h.var("c").toString(), QStringLiteral("abc"));
    EXPECT_TRUE(h.var("v").sameAs(Variant(false)));
    EXPECT_TRUE(h.var("a").sameAs(Variant(1)));
    EXPECT_EQ(h.widget.tag(), 6);
    EXPECT_EQ(h.widget.caption(), QStringLiteral("abcd"));
    EXPECT_TRUE(h.widget.visible());
    EXPECT_EQ(h.widget.width(), 2.5);
    EXPECT_EQ(h.widget.align(), 1);

    // Types and read-only entries follow the metadata.
    TfsClassVariable *cls = h.s.FindClass(QStringLiteral("TTestWidget"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->Find(QStringLiteral("visible"))->Typ, fvtBool);
    EXPECT_EQ(cls->Find(QStringLiteral("Align"))->Typ, fvtEnum);
    EXPECT_EQ(cls->Find(QStringLiteral("Align"))->TypeName, QStringLiteral("TTestAlign"));
    EXPECT_EQ(cls->Find(QStringLiteral("Width"))->Typ, fvtFloat);
    TfsScript s2;
    tw::test::addBaseTypes(s2);
    s2.AddClass(&TTestWidget::staticClassInfo(), QString());
    TTestWidget w;
    s2.AddObject(QStringLiteral("W"), &w);
    QString err;
    EXPECT_FALSE(compileScript(s2, QStringLiteral("begin W.Count := 1; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:7: Left side cannot be assigned to");
    EXPECT_FALSE(compileScript(s2, QStringLiteral("begin W.Nothing := 1; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:16: Undeclared identifier: 'Nothing'");
}

TEST(Registry, AncestorMembersAndBooleanReads)
{
    Host h;
    ASSERT_TRUE(h.run(QStringLiteral("var r: Integer; found: Variant;\n"
                                     "begin found := Widget.FindObject('Memo1'); if Widget.Flag then r := 1; end.")));
    ASSERT_EQ(h.calls.size(), 1);
    EXPECT_EQ(h.calls[0].name, QStringLiteral("FINDOBJECT"));
    EXPECT_EQ(h.calls[0].instance, &h.widget);
    EXPECT_EQ(h.calls[0].params.value(0).toString(), QStringLiteral("Memo1"));
    EXPECT_EQ(h.var("found").toObject(), &h.widget);
    // The host value 2 of a Boolean property reads as True.
    EXPECT_TRUE(h.var("r").sameAs(Variant(1)));
}

TEST(Registry, DefaultIndexedProperty)
{
    Host h;
    ASSERT_TRUE(h.run(QStringLiteral("var a, b: String;\n"
                                     "begin a := List[0]; List[1] := 'uno'; b := List.Strings[1]; end.")));
    ASSERT_EQ(h.calls.size(), 3);
    EXPECT_EQ(h.calls[0].name, QStringLiteral("STRINGS.GET"));
    ASSERT_EQ(h.calls[0].params.size(), 1);
    EXPECT_TRUE(h.calls[0].params[0].sameAs(Variant(0)));
    EXPECT_EQ(h.calls[1].name, QStringLiteral("STRINGS.SET"));
    ASSERT_EQ(h.calls[1].params.size(), 2);
    EXPECT_EQ(h.calls[1].params[1].toString(), QStringLiteral("uno"));
    EXPECT_EQ(h.var("a").toString(), QStringLiteral("zero"));
    EXPECT_EQ(h.var("b").toString(), QStringLiteral("uno"));
    QString err;
    TfsScript &s = h.s;
    EXPECT_FALSE(compileScript(s, QStringLiteral("var a: String; begin a := List.Strings; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:39: Index required");
    EXPECT_FALSE(compileScript(s, QStringLiteral("var a: Variant; begin a := Widget[0]; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:35: Class TTestWidget does not have a default property");
}

TEST(Registry, DeclarationStrings)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    s.AddConst(QStringLiteral("DefaultName"), QStringLiteral("String"), Variant(QStringLiteral("x")));
    TfsMethodHelper *inc = s.AddMethod(QStringLiteral("procedure Inc(var i: Integer; incr: Integer = 1)"),
                                       [](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) {
                                           p[0] = Variant(p[0].toInt() + p[1].toInt());
                                           return Variant();
                                       });
    ASSERT_EQ(inc->Count(), 2);
    EXPECT_TRUE(inc->Params(0)->IsVarParam);
    EXPECT_FALSE(inc->Params(0)->IsOptional);
    EXPECT_TRUE(inc->Params(1)->IsOptional);
    EXPECT_TRUE(inc->Params(1)->DefValue.sameAs(Variant(1)));
    EXPECT_EQ(inc->Description, QStringLiteral("Inc"));

    TfsMethodHelper *copy = s.AddMethod(QStringLiteral("function Copy(s: String; from, count: Integer): String"), TfsCallMethodEvent());
    ASSERT_EQ(copy->Count(), 3);
    EXPECT_EQ(copy->Typ, fvtString);
    EXPECT_EQ(copy->Params(1)->Typ, fvtInt);
    EXPECT_FALSE(copy->Params(1)->IsOptional);

    TfsMethodHelper *iif = s.AddMethod(QStringLiteral("macrofunction IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant"),
                                       [](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) {
                                           return Variant(p[0].toString() + QLatin1Char('|') + p[1].toString());
                                       });
    EXPECT_TRUE(iif->IsMacro);
    TfsMethodHelper *defs = s.AddMethod(QStringLiteral("function D(a: Integer = -5; b: String = 'q'; c: String = DefaultName; d: Variant = Unknown): Integer;"), TfsCallMethodEvent());
    ASSERT_EQ(defs->Count(), 4);
    EXPECT_TRUE(defs->Params(0)->DefValue.sameAs(Variant(-5)));
    EXPECT_EQ(defs->Params(1)->DefValue.toString(), QStringLiteral("q"));
    EXPECT_EQ(defs->Params(2)->DefValue.toString(), QStringLiteral("x"));
    EXPECT_TRUE(defs->Params(3)->DefValue.isNull());
    EXPECT_FALSE(defs->Params(3)->IsOptional);
    EXPECT_EQ(defs->Typ, fvtInt);

    // Declared again in another script: the same items, and a default that names a
    // constant takes that script's constant.
    TfsScript other;
    tw::test::addBaseTypes(other);
    other.AddConst(QStringLiteral("DefaultName"), QStringLiteral("String"), Variant(QStringLiteral("y")));
    {
        TfsScript *script = &other;
        TfsMethodHelper *again = script->AddMethod(
            QStringLiteral("function D(a: Integer = -5; b: String = 'q'; c: String = DefaultName; d: Variant = Unknown): Integer;"),
            TfsCallMethodEvent());
        ASSERT_EQ(again->Count(), 4);
        EXPECT_TRUE(again->Params(0)->DefValue.sameAs(Variant(-5)));
        EXPECT_EQ(again->Params(2)->DefValue.toString(), QStringLiteral("y"));
        EXPECT_EQ(again->Typ, fvtInt);
        TfsMethodHelper *incAgain = script->AddMethod(QStringLiteral("procedure Inc(var i: Integer; incr: Integer = 1)"),
                                                      TfsCallMethodEvent());
        ASSERT_EQ(incAgain->Count(), 2);
        EXPECT_TRUE(incAgain->Params(0)->IsVarParam);
        EXPECT_TRUE(incAgain->Params(1)->DefValue.sameAs(Variant(1)));
    }

    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var x: Integer; m: String;\n"
                                                "begin x := 5; Inc(x); Inc(x, 10); m := IIF(x > 0, 1 / x, 0); end."),
                              QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("x")).sameAs(Variant(16)));
    // A macro function receives the argument texts.
    EXPECT_EQ(s.Variables(QStringLiteral("m")).toString(), QStringLiteral("x > 0|1 / x"));
    EXPECT_FALSE(compileScript(s, QStringLiteral("begin Inc; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:10: Not enough actual parameters");
}

TEST(Registry, LaterRegistrationOfAGlobalFunctionWins)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    auto answer = [](int v) {
        return [v](Object *, const ClassInfo *, const QString &, QVector<Variant> &) { return Variant(v); };
    };
    s.AddMethod(QStringLiteral("function Answer: Integer"), answer(1));
    s.AddMethod(QStringLiteral("function Answer: Integer"), answer(2));
    // Other registrations of an existing name are ignored.
    s.AddVariable(QStringLiteral("Answer"), QStringLiteral("Integer"), Variant(3));
    s.AddType(QStringLiteral("Integer"), fvtString);
    ASSERT_TRUE(compileScript(s, QStringLiteral("var r: Integer; begin r := Answer; end.")));
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("r")).sameAs(Variant(2)));
    EXPECT_EQ(s.AddClass(QStringLiteral("Answer"), QString()), nullptr);
}

TEST(Registry, EventsCallScriptProcedures)
{
    Host h;
    ASSERT_TRUE(h.run(QStringLiteral(
        "var clicks: Integer; who: Variant;\n"
        "procedure Clicked(Sender: TfrxComponent); begin clicks := clicks + 1; who := Sender; end;\n"
        "procedure KeyPressed(Sender: TfrxComponent; var Key: String); begin Key := 'X'; end;\n"
        "begin Widget.OnClick := 'Clicked'; Widget.OnKeyPress := @KeyPressed; end.")));
    QVector<Variant> args{Variant::fromObject(&h.widget)};
    ASSERT_TRUE(h.widget.fire(QStringLiteral("OnClick"), args));
    ASSERT_TRUE(h.widget.fire(QStringLiteral("OnClick"), args));
    EXPECT_TRUE(h.var("clicks").sameAs(Variant(2)));
    EXPECT_EQ(h.var("who").toObject(), &h.widget);
    QVector<Variant> keyArgs{Variant::fromObject(&h.widget), Variant(QStringLiteral("a"))};
    ASSERT_TRUE(h.widget.fire(QStringLiteral("OnKeyPress"), keyArgs));
    EXPECT_EQ(keyArgs[1].toString(), QStringLiteral("X"));

    // nil clears the event; a name that is not a procedure is a run-time error.
    ASSERT_TRUE(compileScript(h.s, QStringLiteral("begin Widget.OnClick := nil; end.")));
    h.s.Execute();
    EXPECT_FALSE(h.widget.fire(QStringLiteral("OnClick"), args));
    ASSERT_TRUE(compileScript(h.s, QStringLiteral("var NotAProc: Integer; begin Widget.OnClick := 'NotAProc'; end.")));
    try {
        h.s.Execute();
        FAIL() << "no exception";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Event handler must be a procedure"));
    }
}

TEST(Registry, CastsConstructorsWithAndLateBinding)
{
    Host h;
    h.widget.setTag(7);
    h.s.UseClassLateBinding = true;
    ASSERT_TRUE(h.run(QStringLiteral(
        "var v, o: Variant; t1, t2, t3, t4: Integer; isW: Boolean;\n"
        "begin\n"
        "  v := Widget;\n"
        "  t1 := TTestWidget(v).Tag;\n"
        "  t2 := v.Tag;\n"
        "  o := TTestWidget.Create(42); t3 := TTestWidget(o).Tag;\n"
        "  with Widget do begin Tag := Tag + 1; Caption := 'w'; end;\n"
        "  with TTestWidget(v) do t4 := Tag;\n"
        "  isW := v is TTestWidget;\n"
        "end.")));
    EXPECT_TRUE(h.var("t1").sameAs(Variant(7)));
    EXPECT_TRUE(h.var("t2").sameAs(Variant(7)));
    EXPECT_TRUE(h.var("t3").sameAs(Variant(42)));
    EXPECT_TRUE(h.var("t4").sameAs(Variant(8)));
    EXPECT_TRUE(h.var("isW").sameAs(Variant(true)));
    EXPECT_EQ(h.widget.tag(), 8);
    EXPECT_EQ(h.widget.caption(), QStringLiteral("w"));
    ASSERT_EQ(h.made.size(), 1u);

    // Without late binding an unknown member of a class is a compile error; on a variant
    // holding nothing at compile time it is resolved when it runs.
    ASSERT_TRUE(compileScript(h.s, QStringLiteral("var v: Variant; r: Variant; begin v := 5; r := v.Foo; end.")));
    try {
        h.s.Execute();
        FAIL() << "no exception";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Undeclared identifier: 'Foo'"));
    }
}

TEST(Registry, EnumsAndEnumSets)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    s.AddEnum(QStringLiteral("TAlign"), QStringLiteral("alNone, alLeft ,alRight"));
    s.AddEnumSet(QStringLiteral("TStyles"), QStringLiteral("fsBold, fsItalic, fsUnderline"));
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var a: TAlign; st: Integer;\nbegin a := alRight; st := fsItalic or fsUnderline; end."),
                              QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("a")).sameAs(Variant(2)));
    EXPECT_TRUE(s.Variables(QStringLiteral("st")).sameAs(Variant(6)));
    EXPECT_TRUE(s.FindLocal(QStringLiteral("alLeft"))->IsReadOnly);
    EXPECT_FALSE(compileScript(s, QStringLiteral("var a: TAlign; begin a := 'x'; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:27: Incompatible types: 'TAlign', 'String'");
}

TEST(Registry, NewAndDeleteInCStyleLanguages)
{
    Host h;
    int freed = 0;
    h.s.FindClass(QStringLiteral("TTestWidget"))
        ->AddMethod(QStringLiteral("procedure Free"), [&freed](Object *o, const ClassInfo *, const QString &, QVector<Variant> &) {
            freed += static_cast<TTestWidget *>(o)->tag();
            return Variant();
        });
    QString err;
    ASSERT_TRUE(compileScript(h.s, QStringLiteral("var o, t;\no = new TTestWidget(3);\nt = o.Tag;\ndelete o;"),
                              QStringLiteral("JScript"), &err))
        << err.toStdString();
    h.s.Execute();
    EXPECT_EQ(h.s.Variables(QStringLiteral("t")).toInt(), 3);
    EXPECT_EQ(freed, 3);
    EXPECT_FALSE(compileScript(h.s, QStringLiteral("var o;\no = new NoClass(1);"), QStringLiteral("JScript"), &err));
    EXPECT_EQ(err.toStdString(), "2:16: Class type required");
    EXPECT_FALSE(compileScript(h.s, QStringLiteral("int i;\n{ delete i; }"), QStringLiteral("R++Ivezud"), &err));
    EXPECT_EQ(err.toStdString(), "2:10: Class type required");
}

TEST(Registry, UnknownMembersAndMissingAncestors)
{
    Host h;
    // An ancestor that is not registered: lookups stop at the class itself.
    TfsClassVariable *orphan = h.s.AddClass(QStringLiteral("TOrphan"), QStringLiteral("TNotRegistered"));
    orphan->AddProperty(QStringLiteral("Own"), QStringLiteral("Integer"), [](Object *, const ClassInfo *, const QString &) { return Variant(1); });
    EXPECT_NE(orphan->Find(QStringLiteral("own")), nullptr);
    EXPECT_EQ(orphan->Find(QStringLiteral("FindObject")), nullptr);

    // A member the class does not have: a compile error, or with late binding a run-time one.
    QString err;
    EXPECT_FALSE(compileScript(h.s, QStringLiteral("var v: Variant; begin v := Widget.Later; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:40: Undeclared identifier: 'Later'");
    h.s.UseClassLateBinding = true;
    ASSERT_TRUE(compileScript(h.s, QStringLiteral("var v: Variant; begin v := Widget.Later; end."), QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    try {
        h.s.Execute();
        FAIL() << "no exception";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Undeclared identifier: 'Later'"));
    }
}
