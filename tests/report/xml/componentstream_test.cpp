#include "report/xml/componentstream.h"

#include "base/metadata.h"
#include "report/xml/xmlserializer.h"
#include "testclasses.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

TEST(ComponentStream, EveryTagRoundTrips)
{
    using Write = std::function<void(TfrxComponentWriter &)>;
    using Check = std::function<void(TfrxComponentReader &)>;
    struct Case {
        TfrxValueType tag;
        Write write;
        Check check;
    };
    auto integer = [](qint64 v, TfrxValueType tag) {
        return Case{tag, [v](TfrxComponentWriter &w) { w.WriteInteger(v); },
                    [v](TfrxComponentReader &r) { EXPECT_EQ(r.ReadInteger(), v); }};
    };
    auto floating = [](double v, TfrxValueType tag, Write write) {
        return Case{tag, write, [v](TfrxComponentReader &r) { EXPECT_DOUBLE_EQ(r.ReadFloat(), v); }};
    };
    auto text = [](const QString &v, TfrxValueType tag) {
        return Case{tag, [v](TfrxComponentWriter &w) { w.WriteString(v); },
                    [v](TfrxComponentReader &r) { EXPECT_EQ(r.ReadString(), v); }};
    };
    const QStringList styles{QStringLiteral("fsBold"), QStringLiteral("fsUnderline")};
    const QByteArray blob("\x00\x7F\x80", 3);
    const Case cases[] = {
        // Integers take the smallest tag.
        integer(0, vaInt8), integer(-128, vaInt8), integer(127, vaInt8), integer(-129, vaInt16),
        integer(32767, vaInt16), integer(-32769, vaInt32), integer(INT32_MAX, vaInt32),
        integer(qint64(INT32_MAX) + 1, vaInt64), integer(INT64_MIN, vaInt64),
        floating(10.5, vaExtended, [](TfrxComponentWriter &w) { w.WriteFloat(10.5); }),
        floating(1e-300, vaExtended, [](TfrxComponentWriter &w) { w.WriteFloat(1e-300); }),
        floating(-0.1, vaDouble, [](TfrxComponentWriter &w) { w.WriteDouble(-0.1); }),
        floating(0.25, vaSingle, [](TfrxComponentWriter &w) { w.WriteSingle(0.25f); }),
        floating(12.3456, vaCurrency, [](TfrxComponentWriter &w) { w.WriteCurrency(12.3456); }),
        floating(45000.5, vaDate, [](TfrxComponentWriter &w) { w.WriteDate(45000.5); }),
        // Text picks its tag from the size of its UTF-8 form.
        text(QStringLiteral("ascii"), vaString), text(QString(300, QLatin1Char('a')), vaLString),
        text(QStringLiteral("Grüße"), vaUTF8String), text(QStringLiteral("Итого"), vaWString), text(QString(), vaWString),
        {vaIdent, [](TfrxComponentWriter &w) { w.WriteIdent(QStringLiteral("haCenter")); },
         [](TfrxComponentReader &r) { EXPECT_EQ(r.ReadIdent(), QStringLiteral("haCenter")); }},
        {vaFalse, [](TfrxComponentWriter &w) { w.WriteBoolean(false); },
         [](TfrxComponentReader &r) { EXPECT_FALSE(r.ReadBoolean()); }},
        {vaTrue, [](TfrxComponentWriter &w) { w.WriteBoolean(true); },
         [](TfrxComponentReader &r) { EXPECT_TRUE(r.ReadBoolean()); }},
        {vaNil, [](TfrxComponentWriter &w) { w.WriteValue(vaNil); },
         [](TfrxComponentReader &r) { EXPECT_EQ(r.ReadIdent(), QStringLiteral("nil")); }},
        {vaSet, [styles](TfrxComponentWriter &w) { w.WriteSet(styles); },
         [styles](TfrxComponentReader &r) { EXPECT_EQ(r.ReadSet(), styles); }},
        {vaBinary, [blob](TfrxComponentWriter &w) { w.WriteBinary(blob); },
         [blob](TfrxComponentReader &r) { EXPECT_EQ(r.ReadBinary(), blob); }},
        {vaList,
         [](TfrxComponentWriter &w) {
             w.WriteListBegin();
             w.WriteString(QStringLiteral("a"));
             w.WriteListEnd();
         },
         [](TfrxComponentReader &r) {
             r.ReadListBegin();
             EXPECT_EQ(r.ReadString(), QStringLiteral("a"));
             EXPECT_TRUE(r.EndOfList());
             r.ReadListEnd();
         }},
    };
    TfrxComponentWriter w;
    for (const Case &c : cases) {
        w.WriteName(QStringLiteral("P"));
        c.write(w);
    }
    const QByteArray bytes = w.Data();
    EXPECT_EQ(bytes.left(4), QByteArray("\x01P\x02\x00", 4));

    TfrxComponentReader r(bytes);
    int i = 0;
    for (const Case &c : cases) {
        EXPECT_EQ(r.ReadName(), QStringLiteral("P"));
        EXPECT_EQ(r.NextValue(), c.tag) << i++;
        c.check(r);
    }
    EXPECT_TRUE(r.AtEnd());
    EXPECT_THROW(r.ReadInteger(), EReadError);

    // Every value can be skipped, and a cut-off stream fails instead of over-reading.
    TfrxComponentReader skip(bytes);
    int entries = 0;
    while (!skip.AtEnd()) {
        skip.ReadName();
        skip.SkipValue();
        ++entries;
    }
    EXPECT_EQ(entries, int(std::size(cases)));
    for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
        TfrxComponentReader partial(bytes.left(cut));
        EXPECT_THROW(
            {
                while (!partial.AtEnd()) {
                    partial.ReadName();
                    partial.SkipValue();
                }
                partial.ReadName();
            },
            EReadError);
    }
}

TEST(ComponentStream, ExtendedFloatBits)
{
    unsigned char ext[10];
    DoubleToExtended(1.0, ext);
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(ext), 10), QByteArray("\0\0\0\0\0\0\0\x80\xFF\x3F", 10));
    for (double v : {0.0, -2.5, 3.14159265358979, 1e300, -1e-310, HUGE_VAL}) {
        DoubleToExtended(v, ext);
        EXPECT_EQ(ExtendedToDouble(ext), v);
    }
    DoubleToExtended(std::nan(""), ext);
    EXPECT_TRUE(std::isnan(ExtendedToDouble(ext)));
}

TEST(ComponentStream, CollectionsInBothForms)
{
    registerTestClasses();
    TTestReport report;
    auto *ds = new TTestView(&report, &report);
    ds->SetName(QStringLiteral("CUST"));
    TfrxXMLSerializer ser;
    ser.SetOwner(&report);

    // The platform's own collection form: order integers and name/value entries.
    TfrxComponentWriter w;
    w.WriteValue(vaCollection);
    w.WriteInteger(0);
    w.WriteListBegin();
    w.WriteName(QStringLiteral("Name"));
    w.WriteString(QStringLiteral("a"));
    w.WriteName(QStringLiteral("DataSet"));
    w.WriteIdent(QStringLiteral("CUST"));
    w.WriteName(QStringLiteral("Unknown"));
    w.WriteDouble(1);
    w.WriteListEnd();
    w.WriteListBegin();
    w.WriteName(QStringLiteral("Value"));
    w.WriteInteger(7);
    w.WriteListEnd();
    w.WriteListEnd();
    TfrxComponentReader r(w.Data());
    ser.ReadCollection(r, report.variables);
    ser.ResolveReferences();
    EXPECT_TRUE(r.AtEnd());
    ASSERT_EQ(report.variables.Count(), 2);
    EXPECT_EQ(report.variables.items[0]->name, QStringLiteral("a"));
    EXPECT_EQ(report.variables.items[0]->dataSet, ds);
    EXPECT_TRUE(report.variables.items[1]->value.sameAs(Variant(7)));

    // List form: each item one attribute string.
    TfrxComponentWriter lw;
    ser.WriteCollection(lw, report.variables);
    TfrxComponentReader lr(lw.Data());
    TTestVariables copy;
    ser.ReadCollection(lr, copy);
    ser.ResolveReferences();
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.items[0]->name, QStringLiteral("a"));
    EXPECT_EQ(copy.items[0]->dataSet, ds);
    EXPECT_TRUE(copy.items[1]->value.sameAs(Variant(QStringLiteral("7"))));
}

TEST(Metadata, PropertyOrderAndRegistry)
{
    const ClassInfo &memo = TTestMemo::staticClassInfo();
    const auto &props = memo.properties();
    ASSERT_GE(props.size(), 3);
    EXPECT_EQ(props[0]->name, QStringLiteral("Name")); // the root class's entry comes first
    EXPECT_EQ(props[1]->name, QStringLiteral("Left"));
    EXPECT_EQ(memo.findProperty(QStringLiteral("halign"))->enumInfo, &hAlignEnum());
    EXPECT_TRUE(memo.inheritsFrom(&TTestView::staticClassInfo()));
    EXPECT_TRUE(memo.inheritsFrom(QStringLiteral("TComponent")));

    // A redeclared entry keeps the parent's position.
    static ClassInfo child(QStringLiteral("TChild"), &TTestView::staticClassInfo());
    static std::once_flag once;
    std::call_once(once, [] {
        ClassBuilder<TTestView>(child).integer(QStringLiteral("Extra"), [](const TTestView *) { return 1; }, nullptr)
            .integer(QStringLiteral("TAG"), [](const TTestView *v) { return v->tag; }, nullptr, 5);
    });
    const auto &cp = child.properties();
    const int parentTag = int(TTestView::staticClassInfo().properties().indexOf(TTestView::staticClassInfo().findProperty(QStringLiteral("Tag"))));
    EXPECT_EQ(cp[parentTag]->defaultValue, 5);
    EXPECT_EQ(cp.last()->name, QStringLiteral("Extra"));
    EXPECT_EQ(cp.size(), TTestView::staticClassInfo().properties().size() + 1);

    registerTestClasses();
    EXPECT_EQ(findClass(QStringLiteral("ttestmemo")), &memo);
    EXPECT_EQ(findClass(QStringLiteral("TNothing")), nullptr);
    EXPECT_EQ(hAlignEnum().valueOf(QStringLiteral("HACENTER")), 2);
    EXPECT_EQ(fontStyleEnum().setNames(5), (QStringList{QStringLiteral("fsBold"), QStringLiteral("fsUnderline")}));
    EXPECT_EQ(fontStyleEnum().setMask({QStringLiteral("fsItalic")}), 2);
}
