#include "script/grammardocument.h"

#include <gtest/gtest.h>

using namespace tw;

TEST(ScriptXml, EscapingTable)
{
    struct Case {
        const char *value;
        const char *escaped;
    } cases[] = {
        {"a\nb\rc", "a&#10;b&#13;c"},
        {"say \"hi\"", "say &#34;hi&#34;"},
        {"<x>", "&#60;x&#62;"},
        {"a & b", "a & b"},
        {"&quot;", "&#34;"},
        {"'single'", "'single'"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fsXMLEscape(QString::fromUtf8(c.value)).toStdString(), c.escaped) << c.value;

    EXPECT_EQ(fsXMLUnescape(QStringLiteral("&#65;&quot;&amp;&#;&#12x&#1055;")),
              QStringLiteral("A\"&amp;&#;&#12xП"));
}

TEST(ScriptXml, PropReadsAndWritesInPlace)
{
    TfsXMLItem item;
    item.SetText(QStringLiteral(" text=\"a&#34;b\" pos=\"1:2\""));
    EXPECT_EQ(item.Prop(QStringLiteral("TEXT")), QStringLiteral("a\"b"));
    EXPECT_EQ(item.Prop(QStringLiteral("missing")), QString());
    EXPECT_FALSE(item.PropExists(QStringLiteral("os"))); // only whole names match
    item.SetProp(QStringLiteral("text"), QStringLiteral("<new>"));
    EXPECT_EQ(item.Text(), QStringLiteral(" text=\"&#60;new&#62;\" pos=\"1:2\""));
    item.SetProp(QStringLiteral("pos1"), QStringLiteral("3:4"));
    EXPECT_EQ(item.Text(), QStringLiteral(" text=\"&#60;new&#62;\" pos=\"1:2\" pos1=\"3:4\""));

    TfsXMLItem bare;
    bare.SetProp(QStringLiteral("a"), QStringLiteral("1"));
    EXPECT_EQ(bare.Text(), QStringLiteral(" a=\"1\""));
}

TEST(ScriptXml, TreeOperations)
{
    TfsXMLItem root;
    root.SetName(QStringLiteral("root"));
    TfsXMLItem *a = root.Add();
    a->SetName(QStringLiteral("Alpha"));
    TfsXMLItem *b = root.FindItem(QStringLiteral("beta")); // created
    EXPECT_EQ(root.Count(), 2);
    EXPECT_EQ(root.Find(QStringLiteral("ALPHA")), 0);
    EXPECT_EQ(root.FindItem(QStringLiteral("BETA")), b);
    EXPECT_EQ(b->Root(), &root);

    TfsXMLItem other;
    other.AddItem(a); // moves
    EXPECT_EQ(root.Count(), 1);
    EXPECT_EQ(a->Parent(), &other);
    root.InsertItem(0, a);
    EXPECT_EQ(root.IndexOf(a), 0);
    EXPECT_EQ(other.Count(), 0);

    TfsXMLItem copy;
    a->Add()->SetName(QStringLiteral("child"));
    copy.Assign(&root);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Items(0)->Items(0)->Name(), QStringLiteral("child"));

    delete b; // destroying an item removes it from its parent
    EXPECT_EQ(root.Count(), 1);
}

TEST(ScriptXml, DocumentRoundTrip)
{
    TfsXMLDocument doc;
    doc.LoadFromBytes(QByteArray("<?xml version=\"1.0\"?>\r\n<!-- a <comment> -->"
                                 "<program pos=\"1:1\">text is ignored<expr text=\"&#60;\x41\xd0\x9f\" />"
                                 "<Empty/><x></X></program>trailing"));
    TfsXMLItem *root = doc.Root();
    EXPECT_EQ(root->Name(), QStringLiteral("program"));
    ASSERT_EQ(root->Count(), 3);
    EXPECT_EQ(root->Items(0)->Prop(QStringLiteral("text")), QStringLiteral("<AП"));
    EXPECT_EQ(root->Items(1)->Name(), QStringLiteral("Empty"));
    EXPECT_EQ(root->Items(1)->Count(), 0);

    EXPECT_EQ(doc.SaveToBytes(),
              QByteArray("<?xml version=\"1.0\"?><program pos=\"1:1\"><expr text=\"&#60;A\xd0\x9f\" />"
                         "<Empty/><x/></program>"));
    doc.SetAutoIndent(true);
    EXPECT_EQ(doc.SaveToBytes(),
              QByteArray("<?xml version=\"1.0\"?>\r\n<program pos=\"1:1\">\r\n"
                         "  <expr text=\"&#60;A\xd0\x9f\" />\r\n  <Empty/>\r\n  <x/>\r\n</program>\r\n"));
}

TEST(ScriptXml, MalformedDocumentsAreRefused)
{
    const char *bad[] = {
        "",
        "<program/>",                              // no header
        "<?xml version=\"1.0\"?><a <b>",           // "<" inside a tag
        "<?xml version=\"1.0\"?><a><b></a>",       // mismatched close
        "<?xml version=\"1.0\"?><a><b/>",          // never closed
        "<?xml version=\"1.0\"?><a text=\"x",      // unterminated tag
        "<?xml version=\"1.0\"?>",                 // no root
    };
    for (const char *b : bad) {
        TfsXMLDocument doc;
        try {
            doc.LoadFromBytes(QByteArray(b));
            ADD_FAILURE() << "accepted: " << b;
        } catch (const EfsXMLError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Invalid file format"));
        }
    }
}

TEST(ScriptXml, LargeDocumentsPassTheBuffers)
{
    TfsXMLDocument doc;
    doc.Root()->SetName(QStringLiteral("program"));
    for (int i = 0; i < 3000; ++i)
        doc.Root()->Add()->SetName(QStringLiteral("item%1").arg(i));
    const QByteArray bytes = doc.SaveToBytes();
    ASSERT_GT(bytes.size(), 3 * 4096);
    TfsXMLDocument back;
    back.LoadFromBytes(bytes);
    ASSERT_EQ(back.Root()->Count(), 3000);
    EXPECT_EQ(back.Root()->Items(2999)->Name(), QStringLiteral("item2999"));
}
