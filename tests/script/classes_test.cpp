#include "script/classregistry.h"
#include "script/interpreter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;

namespace {

class Classes : public ::testing::Test {
protected:
    void SetUp() override { fsRegisterClassesRTTI(); }

    // Runs `program` in `s`; the compile ("pos: message") or run-time error, or empty.
    static QString run(TfsScript &s, const QString &program)
    {
        s.AddRTTI();
        s.Lines = program.split(QLatin1Char('\n'));
        if (!s.Compile())
            return s.ErrorPos + QStringLiteral(": ") + s.ErrorMsg;
        try {
            s.Execute();
        } catch (const Error &e) {
            return e.message();
        }
        return QString();
    }

    static std::string var(TfsScript &s, const char *name)
    {
        return s.Variables(QString::fromLatin1(name)).toText().toStdString();
    }
};

} // namespace

TEST_F(Classes, StringListBasics)
{
    TfsScript s;
    const QString err = run(s, QStringLiteral(R"(
var l: TStringList; cnt, idx, missing: Integer; first, text, cls: String;
begin
  l := TStringList.Create;
  l.Add('beta'); l.Add('Alpha'); l.Insert(0, 'zero');
  l[1] := 'BETA';
  cnt := l.Count; first := l.Strings[0];
  idx := l.IndexOf('alpha'); missing := l.IndexOf('gamma');
  l.Delete(0);
  text := l.Text; cls := l.ClassName;
  l.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "cnt"), "3");
    EXPECT_EQ(var(s, "first"), "zero");
    EXPECT_EQ(var(s, "idx"), "2");
    EXPECT_EQ(var(s, "missing"), "-1");
    EXPECT_EQ(var(s, "text"), "BETA\r\nAlpha\r\n");
    EXPECT_EQ(var(s, "cls"), "TStringList");
}

TEST_F(Classes, SortedListsAndDuplicates)
{
    TfsScript s;
    const QString err = run(s, QStringLiteral(R"(
var l: TStringList; found: Boolean; i, n: Integer; text, msg: String;
begin
  l := TStringList.Create;
  l.Add('pear'); l.Add('Apple'); l.Add('fig');
  l.Sorted := True;
  l.Add('apple');
  n := l.Count;
  found := l.Find('FIG', i);
  text := l.CommaText;
  l.Duplicates := dupError;
  try
    l.Add('Pear');
  except
    msg := ExceptionMessage;
  end;
  l.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "n"), "3"); // dupIgnore drops the second apple
    EXPECT_EQ(var(s, "found"), "True");
    EXPECT_EQ(var(s, "i"), "1");
    EXPECT_EQ(var(s, "text"), "Apple,fig,pear");
    EXPECT_EQ(var(s, "msg"), "String list does not allow duplicates");
}

TEST_F(Classes, CommaTextNamesAndValues)
{
    TfsScript s;
    const QString err = run(s, QStringLiteral(R"(
var l: TStringList; c, n, v, back, name1: String; cnt: Integer;
begin
  l := TStringList.Create;
  l.CommaText := 'a, "b c","say ""hi""",,x=1';
  cnt := l.Count; c := l[1]; n := l[2];
  back := l.CommaText;
  l.Values['y'] := '2';
  v := l.Values['X']; name1 := l.Names[5];
  l.Values['x'] := '';
  cnt := cnt * 10 + l.Count;
  l.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "c"), "b c");
    EXPECT_EQ(var(s, "n"), "say \"hi\"");
    EXPECT_EQ(var(s, "back"), "a,\"b c\",\"say \"\"hi\"\"\",\"\",x=1");
    EXPECT_EQ(var(s, "v"), "1");
    EXPECT_EQ(var(s, "name1"), "y");
    EXPECT_EQ(var(s, "cnt"), "55"); // five items; a sixth added, then x=1 removed
}

TEST_F(Classes, ListErrorsAndFreedObjects)
{
    const struct {
        const char *body;
        const char *message;
    } cases[] = {
        {"l := TStringList.Create; s := l[3];", "List index out of bounds (3)"},
        {"l := TStringList.Create; l.Delete(-1);", "List index out of bounds (-1)"},
        {"l := TStringList.Create; l.Sorted := True; l.Insert(0, 'a');", "Operation not allowed on sorted list"},
        {"l := TStringList.Create; l.Free; l.Add('x');", "Access violation: the object was freed"},
        {"l := TStringList.Create; l.Free; l.Free; s := 'ok';", nullptr},
        {"l := TStringList.Create; l.Free; s := l.ClassName;", "Access violation: the object was freed"},
        {"l := nil; l.Add('x');", "Access violation: the object is nil"},
        {"l := TStringList.Create; l.Assign(TCollection.Create);", "Cannot assign a TCollection to a TStringList"},
    };
    for (const auto &c : cases) {
        TfsScript s;
        const QString err =
            run(s, QStringLiteral("var l: TStringList; s: String;\nbegin\n  %1\nend.").arg(QString::fromLatin1(c.body)));
        EXPECT_EQ(err.toStdString(), c.message ? c.message : "") << c.body;
    }
}

TEST_F(Classes, ListsOfObjectsAndAssign)
{
    TfsScript s;
    const QString err = run(s, QStringLiteral(R"(
var l: TList; a, b: TStringList; i, j, n: Integer; t: String;
begin
  a := TStringList.Create; b := TStringList.Create;
  a.Text := 'one' + #13#10 + 'two';
  l := TList.Create;
  l.Add(a); l.Add(b);
  i := l.IndexOf(b); 
  TStringList(l[0]).Add('three');
  b.Assign(a);
  b.AddObject('four', a);
  j := b.IndexOfObject(a);
  t := b.Text;
  l.Remove(a);
  n := l.Count;
  l.Free; a.Free; b.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "i"), "1");
    EXPECT_EQ(var(s, "j"), "3");
    EXPECT_EQ(var(s, "t"), "one\r\ntwo\r\nthree\r\nfour\r\n");
    EXPECT_EQ(var(s, "n"), "1");
}

TEST_F(Classes, StreamsAndFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TfsScript s;
    s.AddRTTI();
    s.AddVariable(QStringLiteral("dir"), QStringLiteral("String"), Variant(dir.path() + QLatin1Char('/')));
    const QString err = run(s, QStringLiteral(R"(
var m: TMemoryStream; f: TFileStream; l: TStringList; buf, lines, msg: String; n, size, at, keep: Integer;
begin
  m := TMemoryStream.Create;
  m.Write('Привет, мир', 100);
  size := m.Size;
  m.Position := 0;
  n := m.Read(buf, 12);
  at := m.Seek(-3, soFromEnd);
  m.SaveToFile(dir + 'm.bin');
  f := TFileStream.Create(dir + 'm.bin', fmOpenWrite);
  f.Write('X', 1);
  keep := f.Size;
  f.Free;
  f := TFileStream.Create(dir + 'copy.txt', fmCreate);
  f.CopyFrom(m, 0);
  f.Free;
  l := TStringList.Create;
  l.LoadFromFile(dir + 'copy.txt');
  l.Add('строка 2');
  l.SaveToFile(dir + 'lines.txt');
  l.Clear;
  f := TFileStream.Create(dir + 'lines.txt', fmOpenRead);
  l.LoadFromStream(f);
  f.Free;
  lines := l.Text;
  try
    f := TFileStream.Create(dir + 'missing.txt', fmOpenRead or fmShareDenyNone);
  except
    msg := ExceptionMessage;
  end;
  m.Free; l.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "size"), "20");
    EXPECT_EQ(var(s, "buf"), "Привет");
    EXPECT_EQ(var(s, "n"), "12");
    EXPECT_EQ(var(s, "at"), "17");
    EXPECT_EQ(var(s, "keep"), "20"); // opening for writing keeps the content
    EXPECT_EQ(var(s, "lines"), "Привет, мир\r\nстрока 2\r\n");
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("lines.txt"))).size(), 20 + 2 + 14 + 2); // UTF-8 without a mark, CR LF after each line
    EXPECT_NE(var(s, "msg").find("Cannot open file"), std::string::npos) << var(s, "msg");
}

TEST_F(Classes, XmlDocuments)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("doc.xml"));
    TfsScript s;
    s.AddRTTI();
    s.AddVariable(QStringLiteral("fileName"), QStringLiteral("String"), Variant(file));
    const QString err = run(s, QStringLiteral(R"(
var d, e: TfsXMLDocument; it, child, loose: TfsXMLItem; n, idx: Integer; name, attr, msg, parentName: String;
begin
  d := TfsXMLDocument.Create;
  d.Root.Name := 'list';
  it := d.Root.Add;
  it.Name := 'item';
  it.Prop['id'] := '7 & "8"';
  loose := TfsXMLItem.Create;
  loose.Name := 'extra';
  d.Root.AddItem(loose);
  d.SaveToFile(fileName);
  e := TfsXMLDocument.Create;
  e.LoadFromFile(fileName);
  n := e.Root.Count;
  child := e.Root[0];
  name := child.Name; attr := child.Prop['id'];
  parentName := child.Parent.Name;
  idx := e.Root.Find('extra');
  e.Root.Clear;
  try
    name := name + child.Name;
  except
    msg := ExceptionMessage;
  end;
  try
    loose.AddItem(d.Root);
  except
    msg := msg + '|' + ExceptionMessage;
  end;
  try
    e.Root.AddItem(d.Root);
  except
    msg := msg + '|' + ExceptionMessage;
  end;
  d.Free; e.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "n"), "2");
    EXPECT_EQ(var(s, "name"), "item");
    EXPECT_EQ(var(s, "attr"), "7 & \"8\"");
    EXPECT_EQ(var(s, "parentName"), "list");
    EXPECT_EQ(var(s, "idx"), "1");
    EXPECT_EQ(var(s, "msg"), "XML item is no longer available|An XML item cannot contain itself|The root of a document cannot be moved");
}

TEST_F(Classes, ConstantsEnumerationsAndComponents)
{
    TfsScript s;
    const QString err = run(s, QStringLiteral(R"(
var modes, origins, dups, orient: Integer; ownerIsNil: Boolean;
begin
  modes := fmCreate + fmOpenRead + fmOpenWrite + fmOpenReadWrite + fmShareExclusive + fmShareDenyWrite + fmShareDenyNone;
  origins := soFromBeginning * 100 + soFromCurrent * 10 + soFromEnd;
  dups := dupIgnore * 100 + dupAccept * 10 + dupError;
  orient := poLandscape;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "modes"), std::to_string(0xFF00 + 0 + 1 + 2 + 0x10 + 0x20 + 0x40));
    EXPECT_EQ(var(s, "origins"), "12");
    EXPECT_EQ(var(s, "dups"), "12");
    EXPECT_EQ(var(s, "orient"), "1");
    // Every class of the module is known by its script name with its ancestor.
    for (const char *name : {"TObject", "TPersistent", "TCollection", "TList", "TStrings", "TStringList", "TStream",
                             "TFileStream", "TMemoryStream", "TComponent", "TfsXMLItem", "TfsXMLDocument"})
        EXPECT_NE(s.FindClass(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(s.FindClass(QStringLiteral("TStringList"))->Ancestor.toStdString(), "TStrings");
    EXPECT_NE(s.FindClass(QStringLiteral("TComponent"))->Find(QStringLiteral("Owner")), nullptr);
}

TEST_F(Classes, Collections)
{
    TfsScript s;
    const QString err = run(s, QStringLiteral(R"(
var c: TCollection; n: Integer; cls: String;
begin
  c := TCollection.Create;
  c.Add; c.Add; c.Add;
  c.Delete(1);
  n := c.Count;
  cls := c[0].ClassName;
  c.Clear;
  n := n * 10 + c.Count;
  c.Free;
end.)"));
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(var(s, "n"), "20");
    EXPECT_EQ(var(s, "cls"), "TCollectionItem");
}

namespace {

// Stands in for the report's component base: created through its class factory.
class FakeComponent : public Object {
    TW_OBJECT(FakeComponent)
    explicit FakeComponent(Object *owner) : owner(owner) { ++alive; }
    ~FakeComponent() override { --alive; }
    Object *owner;
    static int alive;
};
int FakeComponent::alive = 0;

TW_DEFINE_CLASS(FakeComponent, nullptr)
{
    info.name = QStringLiteral("TComponent");
    info.factory = [](Object *owner, Object *) -> Object * { return new FakeComponent(owner); };
}

} // namespace

TEST_F(Classes, ComponentsComeFromTheHostFactory)
{
    registerClass(&FakeComponent::staticClassInfo());
    fsSetComponentOwnerFunction([](const Object *o) -> Object * {
        auto *c = dynamic_cast<const FakeComponent *>(o);
        return c ? c->owner : nullptr;
    });
    QString err;
    {
        TfsScript s;
        err = run(s, QStringLiteral(R"(
var a, b: TComponent; sameOwner, noOwner: Boolean;
begin
  a := TComponent.Create(nil);
  b := TComponent.Create(a);
  sameOwner := b.Owner = a;
  noOwner := a.Owner = nil;
  b.Free;
end.)"));
        ASSERT_TRUE(err.isEmpty()) << err.toStdString();
        EXPECT_EQ(var(s, "sameOwner"), "True");
        EXPECT_EQ(var(s, "noOwner"), "True");
        // b belongs to a, so its Free leaves it alone; a has no owner and goes.
        EXPECT_EQ(FakeComponent::alive, 2);
        auto *b = s.Variables(QStringLiteral("b")).toObject();
        ASSERT_NE(b, nullptr);
        err = run(s, QStringLiteral("begin a.Free; a.Free; end."));
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        EXPECT_EQ(FakeComponent::alive, 1);
        delete b;
    }
    fsSetComponentOwnerFunction(nullptr);
    unregisterClass(&FakeComponent::staticClassInfo());
}
