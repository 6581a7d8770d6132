#include "report/xml/xmldocument.h"

#include "base/codepage.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace tw;

namespace {

std::unique_ptr<TfrxXMLDocument> parse(const QByteArray &bytes, bool partial = false)
{
    auto doc = std::make_unique<TfrxXMLDocument>();
    auto buf = std::make_unique<QBuffer>();
    buf->setData(bytes);
    buf->open(QIODevice::ReadOnly);
    // A partial load takes the stream, also when it fails; a whole one leaves it to us.
    doc->LoadFromStream(partial ? buf.release() : buf.get(), partial);
    return doc;
}

QByteArray save(TfrxXMLDocument &doc)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    doc.SaveToStream(&buf);
    return buf.data();
}

const QByteArray decl = R"(<?xml version="1.0" encoding="utf-8" standalone="no"?>)";

} // namespace

TEST(XmlValue, EncodesEverySpecialCharacterAndReadsBack)
{
    const QString specials = QStringLiteral("\"<>&\r\n");
    EXPECT_EQ(EncodeXMLValue(specials), QStringLiteral("&#34;&#60;&#62;&#38;&#13;&#10;"));
    // Any length, specials at the edges and in runs, other characters untouched.
    for (int len : {1, 2, 7, 100, 5000}) {
        QString v;
        for (int i = 0; i < len; ++i)
            v += (i % 3 == 0) ? specials[i % specials.size()] : QChar(u"a'\tЖ"[i % 4]);
        const QString enc = EncodeXMLValue(v);
        for (QChar c : specials)
            EXPECT_FALSE(enc.contains(c) && c != QLatin1Char('&')) << len;
        EXPECT_EQ(DecodeXMLValue(enc), v) << len;
    }
    EXPECT_EQ(EncodeXMLValue(QStringLiteral("&quot;")), QStringLiteral("&#34;"));
    EXPECT_EQ(DecodeXMLValue(EncodeXMLValue(QStringLiteral("a&quot;b"))), QStringLiteral("a\"b"));
    EXPECT_EQ(EncodeXMLValue(QStringLiteral("it's\tok")), QStringLiteral("it's\tok"));
}

TEST(XmlValue, DecodesReferencesAndEntitiesInOnePass)
{
    const struct {
        const char16_t *in;
        const char16_t *out;
    } cases[] = {
        {u"&#65;&#x42;&#$43;", u"ABC"},
        {u"&quot;&amp;&lt;&gt;", u"\"&<>"},
        {u"&amp;lt;", u"&lt;"},          // an escaped entity stays an entity
        {u"&#38;#34;", u"&#34;"},
        {u"&apos; &nbsp; & x", u"&apos; &nbsp; & x"},
        {u"a&", u"a&"},
        {u"&#12", u"&#12"},              // no ';': left as it is
        {u"&#70000;", u"\u1170"},        // low 16 bits of the code
        {u"\u0416&#1046;", u"\u0416\u0416"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DecodeXMLValue(QString::fromUtf16(c.in)), QString::fromUtf16(c.out)) << QString::fromUtf16(c.in).toStdString();
    EXPECT_THROW(DecodeXMLValue(QStringLiteral("&#zz;")), EConvertError);
}

TEST(XmlItem, PropAccessBySearch)
{
    TfrxXMLItem item;
    item.SetText(QStringLiteral("Name=\"a\" Left=\"1\""));
    EXPECT_EQ(item.GetProp(QStringLiteral("left")), QStringLiteral("1"));
    EXPECT_TRUE(item.PropExists(QStringLiteral("NAME")));
    EXPECT_FALSE(item.PropExists(QStringLiteral("ame")));
    EXPECT_EQ(item.GetProp(QStringLiteral("Top")), QString());

    item.SetProp(QStringLiteral("Name"), QStringLiteral("b<c"));
    EXPECT_EQ(item.Text(), QStringLiteral("Name=\"b&#60;c\" Left=\"1\""));
    item.SetProp(QStringLiteral("Top"), QStringLiteral("2"));
    EXPECT_EQ(item.Text(), QStringLiteral("Name=\"b&#60;c\" Left=\"1\" Top=\"2\""));
    EXPECT_EQ(item.GetProp(QStringLiteral("name")), QStringLiteral("b<c"));

    item.DeleteProp(QStringLiteral("Name"));
    EXPECT_EQ(item.Text(), QStringLiteral("Left=\"1\" Top=\"2\""));
    item.DeleteProp(QStringLiteral("Top"));
    EXPECT_EQ(item.Text(), QStringLiteral("Left=\"1\" "));

    TfrxXMLItem empty;
    empty.SetProp(QStringLiteral("A"), QStringLiteral("x"));
    EXPECT_EQ(empty.Text(), QStringLiteral("A=\"x\""));
}

TEST(XmlItem, TreeOperations)
{
    TfrxXMLItem root(QStringLiteral("r"));
    TfrxXMLItem *a = root.Add(QStringLiteral("a"));
    TfrxXMLItem *b = root.Add(QStringLiteral("B"));
    TfrxXMLItem *c = a->Add(QStringLiteral("c"));
    EXPECT_EQ(root.Find(QStringLiteral("b")), 1);
    EXPECT_EQ(root.FindItem(QStringLiteral("b")), b);
    EXPECT_EQ(root.FindItem(QStringLiteral("new"))->Parent(), &root);
    EXPECT_EQ(c->Root(), &root);
    root.InsertItem(0, c);
    EXPECT_EQ(a->Count(), 0);
    EXPECT_EQ(root.IndexOf(c), 0);
    delete b;
    EXPECT_EQ(root.Find(QStringLiteral("B")), -1);
}

TEST(XmlReader, ElementsTextCommentsAndEmptyForms)
{
    const QByteArray xml = "\xEF\xBB\xBF" + decl + "\r\n<!-- lead <x> -- -->"
        "<root a=\"1\">some text<e1/><e2 x=\"1\" /><!----><e3 x=\"2\"/>more"
        "<e4 ></e4><e5>inner<!-- c --></e5></root>trailing";
    auto doc = parse(xml);
    TfrxXMLItem *r = doc->Root();
    EXPECT_EQ(r->Name(), QStringLiteral("root"));
    EXPECT_EQ(r->Text(), QStringLiteral("a=\"1\""));
    ASSERT_EQ(r->Count(), 5);
    EXPECT_EQ(r->Items(0)->Name(), QStringLiteral("e1"));
    EXPECT_EQ(r->Items(0)->Text(), QString());
    EXPECT_EQ(r->Items(1)->Text(), QStringLiteral("x=\"1\" ")); // space before '/' kept
    EXPECT_EQ(r->Items(2)->Text(), QStringLiteral("x=\"2\""));
    EXPECT_EQ(r->Items(3)->Name(), QStringLiteral("e4"));
    for (int i = 0; i < r->Count(); ++i)
        EXPECT_EQ(r->Items(i)->Count(), 0);
    EXPECT_FALSE(doc->OldVersion());

    // "<!-->" does not close the comment it opens; "<!---->" does.
    auto odd = parse(decl + "<r><!--><a/>--><!----><b/></r>");
    ASSERT_EQ(odd->Root()->Count(), 1);
    EXPECT_EQ(odd->Root()->Items(0)->Name(), QStringLiteral("b"));
}

TEST(XmlReader, MalformedInputFails)
{
    const QByteArray bad[] = {
        "",
        "<root/>",
        decl + "<a><b></c></a>",
        decl + "<a x=\"<\"/>",
        decl + "<a><b",
        decl + "<a><!-- never closed",
    };
    for (const QByteArray &x : bad) {
        try {
            parse(x);
            ADD_FAILURE() << "accepted: " << x.toStdString();
        } catch (const TfrxInvalidXMLException &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Invalid file format"));
        }
    }
    // Cut off after an opening tag: what was read stands.
    auto doc = parse(decl + "<a><b>");
    ASSERT_EQ(doc->Root()->Count(), 1);
    EXPECT_EQ(doc->Root()->Items(0)->Name(), QStringLiteral("b"));
    // Closing tags match ignoring case.
    EXPECT_NO_THROW(parse(decl + "<Ab><c></C></aB>"));
    // A tag without a name ends the open element's list without a name to match; what
    // follows belongs to the enclosing element.
    auto nameless = parse(decl + "<a><b><x/>< junk><y/></a>");
    ASSERT_EQ(nameless->Root()->Count(), 2);
    EXPECT_EQ(nameless->Root()->Items(0)->Count(), 1);
    EXPECT_EQ(nameless->Root()->Items(1)->Name(), QStringLiteral("y"));
}

TEST(XmlReader, CyrillicAndOldKind)
{
    TfrxXMLDocument doc;
    doc.Root()->SetName(QStringLiteral("r"));
    doc.Root()->SetProp(QStringLiteral("t"), QStringLiteral("Привет"));
    const QByteArray out = save(doc);
    EXPECT_TRUE(out.contains(QStringLiteral("Привет").toUtf8()));
    auto back = parse(out);
    EXPECT_EQ(back->Root()->GetProp(QStringLiteral("t")), QStringLiteral("Привет"));

    codepage::setAnsiCodePage(1251);
    const QByteArray old = QByteArray("<?xml version=\"1.0\" encoding=\"windows-1251\"?><r t=\"")
        + codepage::toCodePage(QStringLiteral("Привет"), 1251) + "\"/>";
    auto oldDoc = parse(old);
    EXPECT_TRUE(oldDoc->OldVersion());
    EXPECT_EQ(oldDoc->Root()->GetProp(QStringLiteral("t")), QStringLiteral("Привет"));
    EXPECT_FALSE(parse(R"(<?xml version="1.1"?><r/>)")->OldVersion());
}

TEST(XmlWriter, IndentedAndOneLine)
{
    TfrxXMLDocument doc;
    TfrxXMLItem *r = doc.Root();
    r->SetName(QStringLiteral("r"));
    r->SetText(QStringLiteral("a=\"1\""));
    TfrxXMLItem *c = r->Add(QStringLiteral("c"));
    c->Add(QStringLiteral("d"))->SetValue(QStringLiteral("v<"));
    r->Add(QStringLiteral("e"));
    EXPECT_EQ(save(doc), decl + "<r a=\"1\"><c><d>v<</d></c><e/></r>");
    doc.SetAutoIndent(true);
    EXPECT_EQ(save(doc), decl + "\r\n<r a=\"1\">\r\n  <c>\r\n    <d>v<</d>\r\n  </c>\r\n  <e/>\r\n</r>\r\n");
}

TEST(XmlDocument, SaveReplacesTheFileInOneStep)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.fr3"));
    test::writeBytes(path, "old");
    TfrxXMLDocument doc;
    doc.Root()->SetName(QStringLiteral("report"));
    doc.SaveToFile(path);
    EXPECT_TRUE(test::readBytes(path).contains("<report"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".tmp")));

    // A target that cannot be replaced stays as it was, and no temporary file is left behind.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    EXPECT_THROW(doc.SaveToFile(blocked), EInOutError);
    EXPECT_TRUE(QFileInfo(blocked + QStringLiteral("/inside")).isDir());
    EXPECT_FALSE(QFile::exists(blocked + QStringLiteral(".tmp")));
}

TEST(XmlDocument, PartialLoadingAndUnload)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.fp3"));
    {
        TfrxXMLDocument doc;
        doc.Root()->SetName(QStringLiteral("preparedreport"));
        for (int i = 0; i < 3; ++i) {
            TfrxXMLItem *page = doc.Root()->Add(QStringLiteral("page"));
            page->SetProp(QStringLiteral("n"), QString::number(i));
            page->SetUnloadable(true);
            page->Add(QStringLiteral("obj"))->SetProp(QStringLiteral("x"), QStringLiteral("v%1").arg(i));
        }
        doc.SaveToFile(path);
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".tmp")));
        // Reloaded from the file: pages are unloaded, their attributes kept.
        TfrxXMLItem *p1 = doc.Root()->Items(1);
        EXPECT_FALSE(p1->Loaded());
        EXPECT_EQ(p1->Count(), 0);
        EXPECT_EQ(p1->Text(), QStringLiteral("n=\"1\""));
        doc.LoadItem(p1);
        ASSERT_EQ(p1->Count(), 1);
        EXPECT_EQ(p1->Items(0)->GetProp(QStringLiteral("x")), QStringLiteral("v1"));
        // Saving over the file the unloaded pages live in keeps them.
        p1->Items(0)->SetProp(QStringLiteral("x"), QStringLiteral("v1b"));
        doc.SaveToFile(path);
        doc.LoadItem(doc.Root()->Items(1));
        EXPECT_EQ(doc.Root()->Items(1)->Items(0)->GetProp(QStringLiteral("x")), QStringLiteral("v1b"));
        doc.SaveToFile(path);
    }
    const QByteArray bytes = test::readBytes(path);
    EXPECT_TRUE(bytes.contains("<page n=\"0\" ld=\"0\"><obj x=\"v0\"/></page>"));

    TfrxXMLDocument doc;
    doc.SetTempDir(dir.path());
    doc.LoadFromFile(path);
    TfrxXMLItem *p0 = doc.Root()->Items(0);
    doc.LoadItem(p0);
    p0->Items(0)->SetProp(QStringLiteral("x"), QStringLiteral("changed"));
    p0->SetProp(QStringLiteral("n"), QStringLiteral("zero"));
    doc.UnloadItem(p0);
    EXPECT_FALSE(p0->Loaded());
    const QString temp = doc.TempFileName();
    EXPECT_TRUE(temp.startsWith(dir.path()));
    EXPECT_TRUE(QFile::exists(temp));
    // Writing pulls unloaded items from both the source file and the temporary file.
    const QByteArray out = save(doc);
    EXPECT_TRUE(out.contains("<page n=\"zero\" ld=\"0\"><obj x=\"changed\"/></page>")) << out.constData();
    EXPECT_TRUE(out.contains("<page n=\"2\" ld=\"0\"><obj x=\"v2\"/></page>"));
    EXPECT_TRUE(out.contains("<page n=\"1\" ld=\"0\"><obj x=\"v1b\"/></page>"));
    EXPECT_FALSE(p0->Loaded());
    doc.LoadItem(p0);
    EXPECT_EQ(p0->Text(), QStringLiteral("n=\"zero\""));
    EXPECT_EQ(p0->Items(0)->GetProp(QStringLiteral("x")), QStringLiteral("changed"));
    doc.Clear();
    EXPECT_FALSE(QFile::exists(temp));
}

TEST(XmlReader, ReaderLeavesStreamAfterElement)
{
    QBuffer buf;
    buf.setData("<a x=\"1\"/><b/>");
    buf.open(QIODevice::ReadOnly);
    TfrxXMLItem a, b;
    {
        TfrxXMLReader r(&buf);
        r.ReadRootItem(&a);
    }
    EXPECT_EQ(buf.pos(), 10);
    {
        TfrxXMLReader r(&buf);
        r.ReadRootItem(&b);
    }
    EXPECT_EQ(a.Name(), QStringLiteral("a"));
    EXPECT_EQ(b.Name(), QStringLiteral("b"));
}

TEST(XmlReader, LongTagsAndCommentsAcrossBlocks)
{
    const QString big(200000, QLatin1Char('z'));
    TfrxXMLDocument doc;
    doc.Root()->SetName(QStringLiteral("r"));
    for (int i = 0; i < 3; ++i)
        doc.Root()->Add(QStringLiteral("i"))->SetProp(QStringLiteral("v"), big + QString::number(i));
    QByteArray out = save(doc);
    out.insert(out.indexOf("<i"), "<!--" + QByteArray(150000, '-') + "-->");
    auto back = parse(out);
    ASSERT_EQ(back->Root()->Count(), 3);
    EXPECT_EQ(back->Root()->Items(2)->GetProp(QStringLiteral("v")), big + QStringLiteral("2"));
}

TEST(XmlDocument, UnloadableItemWithoutAttributesHasOneBlankBeforeItsMarker)
{
    const QByteArray text = decl + "<r><page0><a/></page0><page0 ld=\"0\"><b/></page0><page0 n=\"1\" ld=\"0\"><c/></page0></r>";
    auto doc = parse(text, true);
    ASSERT_EQ(doc->Root()->Count(), 3);
    for (int i : {1, 2}) {
        TfrxXMLItem *p = doc->Root()->Items(i);
        EXPECT_TRUE(p->Unloadable()) << i;
        EXPECT_FALSE(p->Loaded()) << i;
    }
    EXPECT_EQ(doc->Root()->Items(1)->Text(), QString());
    EXPECT_EQ(doc->Root()->Items(2)->Text(), QStringLiteral("n=\"1\""));
    const QByteArray out = save(*doc);
    EXPECT_TRUE(out.contains("<page0 ld=\"0\"><b/></page0><page0 n=\"1\" ld=\"0\"><c/></page0>")) << out.constData();
}

TEST(XmlReader, RandomInputNeverCrashes)
{
    // Mutations of a small valid document: every outcome must be a tree or the format error.
    const QByteArray seed = decl + "<r a=\"&#60;1&#62;\"><p ld=\"0\"><m x=\"&amp;\"/><!-- c --></p><q/></r>";
    QRandomGenerator rng(12345);
    const char alphabet[] = "<>/!-=\" &#;ldx0a";
    for (int round = 0; round < 20000; ++round) {
        QByteArray x = seed;
        const int edits = 1 + int(rng.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng.bounded(qsizetype(x.size() + 1)));
            switch (rng.bounded(3)) {
            case 0: x.insert(pos, alphabet[rng.bounded(int(sizeof alphabet - 1))]); break;
            case 1: x.remove(pos, 1 + int(rng.bounded(4))); break;
            default: x.truncate(pos);
            }
        }
        for (bool partial : {false, true}) {
            try {
                auto doc = parse(x, partial);
                std::function<void(TfrxXMLItem *)> walk = [&](TfrxXMLItem *it) {
                    try {
                        it->GetProp(QStringLiteral("a"));
                    } catch (const EConvertError &) {
                    }
                    doc->LoadItem(it);
                    for (int i = 0; i < it->Count(); ++i)
                        walk(it->Items(i));
                };
                walk(doc->Root());
                save(*doc);
            } catch (const TfrxInvalidXMLException &) {
            }
        }
    }
    // Deep nesting is rejected instead of exhausting the stack.
    QByteArray deep = decl;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_THROW(parse(deep), TfrxInvalidXMLException);
}

TEST(XmlWriter, OutputIsWellFormedForXmllint)
{
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
        GTEST_SKIP() << "xmllint not installed";
    QTemporaryDir dir;
    TfrxXMLDocument doc;
    doc.SetAutoIndent(true);
    doc.Root()->SetName(QStringLiteral("TfrxReport"));
    doc.Root()->SetProp(QStringLiteral("ScriptText.Text"), QStringLiteral("begin\r\n  if a < b then s := \"x\" & 'y' > z;\r\nend."));
    TfrxXMLItem *m = doc.Root()->Add(QStringLiteral("TfrxMemoView"));
    m->SetProp(QStringLiteral("Text"), QStringLiteral("Итого: &quot;%d&quot; <b>\n"));
    m->SetProp(QStringLiteral("Font.Name"), QStringLiteral("Arial"));
    const QString path = dir.filePath(QStringLiteral("t.fr3"));
    doc.SaveToFile(path);
    QProcess p;
    p.start(xmllint, {QStringLiteral("--noout"), path});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
}
