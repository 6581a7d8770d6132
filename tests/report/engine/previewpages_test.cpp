#include "base/formatsettings.h"
#include "report/engine/engine.h"
#include "report/engine/previewpages.h"
#include "report/model/objectmodel.h"
#include "report/xml/xmlserializer.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;
using test::SettingsScope;

namespace {

std::string u8(const QString &s)
{
    return s.toStdString();
}

QByteArray saved(TfrxPreviewPages &store)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    store.SaveToStream(&buf);
    return buf.data();
}

void load(TfrxPreviewPages &store, const QByteArray &bytes)
{
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    store.LoadFromStream(&buf);
}

// One design page: a page header, a master band holding one memo.
class PreparedPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        frxRegisterClasses();
        page = new TfrxReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        header = make<TfrxPageHeader>(page, QStringLiteral("PageHeader1"));
        header->SetBounds(0, 0, 718.1, 22.68);
        master = make<TfrxMasterData>(page, QStringLiteral("MasterData1"));
        master->SetBounds(0, 64, 718.1, 18.9);
        memo = make<TfrxMemoView>(master, QStringLiteral("Memo1"));
        memo->SetBounds(10, 0, 200, 18.9);
        memo->SetText(QStringLiteral("[Name]"));
        memo->SetDataField(QStringLiteral("Name"));
    }

    template <class T>
    T *make(TfrxComponent *parent, const QString &name)
    {
        auto *c = new T(parent);
        c->SetName(name);
        return c;
    }

    void start()
    {
        store.Initialize();
        store.AddSourcePage(page);
        store.BeginPass();
    }
    // A data row as the engine shows it: the memo's text for this row, the band placed.
    void row(const QString &text, double top)
    {
        memo->SetText(text);
        master->SetTop(top);
        store.AddObject(master);
    }
    // Two rows on one page, the way a one-pass run leaves the store.
    void twoRows()
    {
        start();
        store.AddPage(page);
        store.Outline()->LevelRoot();
        store.AddObject(header);
        row(QStringLiteral("Alpha"), 22.68);
        row(QStringLiteral("Beta"), 41.58);
        store.Finish();
    }
    // A run of one row per page, the rows reading p0, p1 ...
    void pages(int count)
    {
        start();
        for (int i = 0; i < count; ++i) {
            store.AddPage(page);
            row(QStringLiteral("p%1").arg(i), 22.68);
        }
        store.Finish();
    }
    // The attribute text of an element of the current page.
    QString element(int i) { return store.XMLDocument().Root()->Items(0)->Items(store.CurPage)->Items(i)->Text(); }

    SettingsScope us{FormatSettings::usEnglish()};
    TfrxReport report;
    TfrxReportPage *page = nullptr;
    TfrxPageHeader *header = nullptr;
    TfrxMasterData *master = nullptr;
    TfrxMemoView *memo = nullptr;
    TfrxPreviewPages store{&report};
};

} // namespace

// ---------------------------------------------------------------------------------------
// The file

TEST_F(PreparedPages, OnePassReportSavesToTheOneLineLayout)
{
    twoRows();
    const QString text = QString::fromUtf8(saved(store));
    const QString head = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?><preparedreport><previewpages><page0>"
        "<b1 t=\"0\"/><b2 t=\"22.68\"><m1 u=\"Alpha\"/></b2><b2 t=\"41.58\"><m1 u=\"Beta\"/></b2></page0>"
        "</previewpages><logicalpagenumbers><page n=\"1\"/></logicalpagenumbers><outline/><report>"
        "<TfrxReport DotMatrixReport=\"0\" PreviewOptions.OutlineVisible=\"0\" PreviewOptions.OutlineWidth=\"120\" "
        "ReportOptions.Name=\"\"/></report><sourcepages><TfrxReportPage Name=\"Page1\"");
    const QString tail = QStringLiteral(
        "</sourcepages><dictionary><b1 name=\"Page0.PageHeader1\"/><b2 name=\"Page0.MasterData1\"/>"
        "<m1 name=\"Page0.Memo1\"/></dictionary><picturecache/></preparedreport>");
    EXPECT_TRUE(text.startsWith(head)) << u8(text.left(head.size() + 40));
    EXPECT_TRUE(text.endsWith(tail)) << u8(text.right(tail.size() + 40));
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    EXPECT_FALSE(text.contains(QLatin1Char('\r')));
    // The source memo is the design memo without its data binding, with its design text.
    const QString sources = text.mid(text.indexOf(QLatin1String("<sourcepages>")));
    EXPECT_TRUE(sources.contains(QLatin1String("<TfrxMemoView Name=\"Memo1\""))) << u8(sources);
    EXPECT_TRUE(sources.contains(QLatin1String("Text=\"[Name]\"")));
    EXPECT_FALSE(sources.contains(QLatin1String("DataField")));
    // Saving again changes nothing.
    EXPECT_EQ(saved(store), text.toUtf8());
}

TEST_F(PreparedPages, SavedFileIsWellFormedAndReadsBackIntoPages)
{
    twoRows();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("1.fp3"));
    store.SaveToFile(file);
    const QByteArray bytes = test::readBytes(file);
    EXPECT_EQ(bytes, saved(store));
    EXPECT_EQ(QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"), file}), 0);
    // Nothing but the file is left in the directory.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("1.fp3")});

    TfrxReport other;
    TfrxPreviewPages loaded(&other);
    ASSERT_TRUE(loaded.LoadFromFile(file));
    ASSERT_EQ(loaded.Count(), 1);
    TfrxPage *p = loaded.GetPage(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Name(), QStringLiteral("Page1"));
    ASSERT_EQ(p->Objects().size(), 3);
    EXPECT_EQ(p->Objects()[0]->Name(), QStringLiteral("PageHeader1"));
    auto *second = dynamic_cast<TfrxMasterData *>(p->Objects()[2]);
    ASSERT_NE(second, nullptr);
    EXPECT_DOUBLE_EQ(second->Top(), 41.58);
    EXPECT_DOUBLE_EQ(second->Height(), 18.9);
    ASSERT_EQ(second->Objects().size(), 1);
    auto *m = dynamic_cast<TfrxMemoView *>(second->Objects()[0]);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Name(), QStringLiteral("Memo1"));
    EXPECT_EQ(m->Text(), QStringLiteral("Beta\r\n"));
    EXPECT_DOUBLE_EQ(m->Left(), 10);
    EXPECT_EQ(dynamic_cast<TfrxMemoView *>(p->Objects()[1]->Objects()[0])->Text(), QStringLiteral("Alpha\r\n"));
    // The cache answers the second request with the same page.
    EXPECT_EQ(loaded.GetPage(0), p);
    EXPECT_EQ(loaded.GetPageSize(0), QSize(794, 1123));
    EXPECT_EQ(loaded.GetPageSize(1), QSize(0, 0));
    // A loaded report saves to the same bytes, also over the file it was read from.
    loaded.SaveToFile(file);
    EXPECT_EQ(test::readBytes(file), bytes);
}

TEST_F(PreparedPages, DamagedFilesFailWithInvalidFileFormat)
{
    twoRows();
    const QByteArray good = saved(store);
    const QList<QByteArray> bad = {
        QByteArray("not xml at all"),
        good.left(good.size() / 2) + "</b2></page0><",
        QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?><TfrxReport/>"),
    };
    for (const QByteArray &bytes : bad) {
        TfrxPreviewPages loaded(&report);
        try {
            load(loaded, bytes);
            ADD_FAILURE() << bytes.left(60).constData();
        } catch (const Error &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Invalid file format")) << bytes.left(60).constData();
        }
        EXPECT_EQ(loaded.Count(), 0);
    }
    // Damage inside the elements does not crash the rebuild: unknown aliases and classes
    // are reported and skipped.
    QByteArray odd = good;
    odd.replace("<m1 u=\"Beta\"/>", "<zz9 u=\"x\"/><TfrxNoSuchView l=\"1\"/>");
    odd.replace("name=\"Page0.MasterData1\"", "name=\"Page7.Nothing\"");
    TfrxPreviewPages loaded(&report);
    load(loaded, odd);
    ASSERT_NE(loaded.GetPage(0), nullptr);
    EXPECT_FALSE(loaded.Errors().isEmpty());
}

TEST_F(PreparedPages, SaveToFileIntoAMissingDirectoryRaisesAndLeavesNothing)
{
    twoRows();
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("missing/1.fp3"));
    try {
        store.SaveToFile(target);
        FAIL();
    } catch (const EFCreateError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(target))) << u8(e.message());
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

// ---------------------------------------------------------------------------------------
// Source pages and aliases

TEST_F(PreparedPages, SourcePagesCopyPreviewVisibleObjectsAndLinkBothWays)
{
    auto *sub = make<TfrxSubreport>(master, QStringLiteral("Subreport1"));
    (void)sub;
    start();
    ASSERT_EQ(store.SourcePageCount(), 1);
    TfrxPage *copy = store.SourcePage(0);
    EXPECT_EQ(store.OriginalComponent(copy), page);
    TfrxComponent *memoCopy = store.SourceObject(memo);
    ASSERT_NE(memoCopy, nullptr);
    EXPECT_NE(memoCopy, memo);
    EXPECT_EQ(store.OriginalComponent(memoCopy), memo);
    EXPECT_EQ(store.AliasName(memo), QStringLiteral("m1"));
    EXPECT_EQ(store.AliasName(memoCopy), QStringLiteral("m1"));
    EXPECT_TRUE(dynamic_cast<TfrxMemoView *>(memoCopy)->DataField().isEmpty());
    EXPECT_TRUE(store.SourceBaseName(memoCopy).startsWith(QLatin1String("TfrxMemoView ")));
    // The subreport is not copied, nor anything below it.
    EXPECT_EQ(copy->FindObject(QStringLiteral("Subreport1")), nullptr);
    EXPECT_EQ(store.Dictionary().Count(), 3);
    // Finish cuts the links to the design objects; the copies keep their aliases.
    store.Finish();
    EXPECT_EQ(store.SourceObject(memo), nullptr);
    EXPECT_EQ(store.OriginalComponent(memoCopy), nullptr);
    EXPECT_EQ(store.AliasName(memoCopy), QStringLiteral("m1"));
}

TEST_F(PreparedPages, ObjectsMadeDuringTheRunJoinTheLastSourcePage)
{
    start();
    auto *extra = new TfrxMemoView(master);
    extra->SetText(QStringLiteral("made late"));
    store.AddToSourcePage(extra);
    TfrxComponent *copy = store.SourceObject(extra);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Parent(), store.SourcePage(0));
    EXPECT_EQ(copy->Name(), QStringLiteral("Memo2"));
    EXPECT_EQ(store.AliasName(extra), QStringLiteral("m2"));
    EXPECT_EQ(store.Dictionary().GetSourceName(QStringLiteral("m2")), QStringLiteral("Page0.Memo2"));
    // A destroyed object at a reused address is not mistaken for the linked one.
    delete extra;
    EXPECT_EQ(store.SourceObject(extra), nullptr);
}

TEST(PreviewDictionary, UniqueNamesGallopFromTenThousandAndExtendDenseRuns)
{
    TfrxDictionary d;
    EXPECT_EQ(d.CreateUniqueName(QStringLiteral("m")), QStringLiteral("m1"));
    for (int i = 1; i <= 20; ++i)
        d.Add(QStringLiteral("m%1").arg(i), QStringLiteral("Page0.Memo%1").arg(i), nullptr);
    EXPECT_EQ(d.CreateUniqueName(QStringLiteral("m")), QStringLiteral("m21"));
    EXPECT_EQ(d.CreateUniqueName(QStringLiteral("b")), QStringLiteral("b1"));
    // A gap below the probed number is not filled: the search starts at 19.
    TfrxDictionary gap;
    gap.Add(QStringLiteral("m19"), QStringLiteral("Page0.A"), nullptr);
    EXPECT_EQ(gap.CreateUniqueName(QStringLiteral("m")), QStringLiteral("m20"));
    gap.Add(QStringLiteral("M10000"), QStringLiteral("Page0.B"), nullptr);
    EXPECT_EQ(gap.CreateUniqueName(QStringLiteral("m")), QStringLiteral("m10001"));
    // Sorted ignoring case; lookups ignore case too.
    EXPECT_EQ(d.Name(0), QStringLiteral("m1"));
    EXPECT_EQ(d.Name(1), QStringLiteral("m10"));
    EXPECT_EQ(d.GetSourceName(QStringLiteral("M12")), QStringLiteral("Page0.Memo12"));
    EXPECT_EQ(d.GetSourceName(QStringLiteral("m99")), QString());
}

TEST(PreviewDictionary, UniqueNamesCountOnlyAliasesSpeltAsTheNumberWouldBe)
{
    struct Case {
        QStringList taken;
        QString base;
        QString expected;
    };
    const Case cases[] = {
        // "m01" is not "m1": the number is free.
        {{QStringLiteral("m01")}, QStringLiteral("m"), QStringLiteral("m1")},
        {{QStringLiteral("m1"), QStringLiteral("M2")}, QStringLiteral("m"), QStringLiteral("m3")},
        // A base that ends in a digit: "m12" is "m1" + 2, and the search stops there.
        {{QStringLiteral("m11"), QStringLiteral("m12")}, QStringLiteral("m1"), QStringLiteral("m13")},
        {{QStringLiteral("m11"), QStringLiteral("m12"), QStringLiteral("m13")}, QStringLiteral("m1"),
         QStringLiteral("m14")},
        // Case is folded beyond ASCII.
        {{QStringLiteral("Ärger1")}, QStringLiteral("ärger"), QStringLiteral("ärger2")},
        // An alias of digits only; a number past an int is no number.
        {{QStringLiteral("1"), QStringLiteral("2")}, QString(), QStringLiteral("3")},
        {{QStringLiteral("m99999999999")}, QStringLiteral("m"), QStringLiteral("m1")},
    };
    for (const Case &c : cases) {
        TfrxDictionary d;
        for (const QString &name : c.taken)
            d.Add(name, QStringLiteral("Page0.X"), nullptr);
        EXPECT_EQ(d.CreateUniqueName(c.base), c.expected) << c.taken.join(u',').toStdString();
    }
}

// ---------------------------------------------------------------------------------------
// Difference texts

TEST_F(PreparedPages, DifferenceTextsOfBandsMemosAndInvisibleObjects)
{
    auto *hidden = make<TfrxMemoView>(header, QStringLiteral("Hidden"));
    auto *hiddenChild = make<TfrxMemoView>(hidden, QStringLiteral("HiddenChild"));
    (void)hiddenChild;
    auto *lines = make<TfrxMemoView>(header, QStringLiteral("Lines"));
    lines->SetBounds(0, 0, 100, 20);
    start();
    store.AddPage(page);

    hidden->SetVisible(false);
    lines->SetText(QStringLiteral("one\r\ntwo <&> \"q\"\r\n"));
    store.AddObject(header);
    memo->SetText(QString());
    memo->SetLeft(12.5);
    memo->SetWidth(200.00001); // within the tolerance
    memo->Font()->SetStyle(fsBold);
    memo->Frame()->SetTyp(ftLeft | ftTop);
    memo->SetLastParaBreak(true);
    master->SetTop(64); // where it was designed
    store.AddObject(master);
    memo->SetFont(*memo->Font()); // nothing changes for the next output but the break flags
    store.AddObject(master);

    // The band's top is always there; the invisible memo and its child are not.
    ASSERT_EQ(store.XMLDocument().Root()->Items(0)->Items(0)->Items(0)->Count(), 1);
    EXPECT_EQ(element(0), QStringLiteral(" t=\"0\""));
    EXPECT_EQ(store.XMLDocument().Root()->Items(0)->Items(0)->Items(0)->Items(0)->Text(),
              QStringLiteral(" u=\"one&#13;&#10;two &#60;&#38;&#62; &#34;q&#34;\""));
    EXPECT_EQ(element(1), QStringLiteral(" t=\"64\""));
    const QString m = store.XMLDocument().Root()->Items(0)->Items(0)->Items(1)->Items(0)->Text();
    // Font attributes only where they differ, once the memo has its own font.
    EXPECT_EQ(m, QStringLiteral(" l=\"12.5\" Font.Style=\"1\" ParentFont=\"0\" Frame.Typ=\"5\" u=\"\" LastParaBreak=\"1\""));
    // The break passed on: the next part starts with FirstParaBreak only.
    const QString next = store.XMLDocument().Root()->Items(0)->Items(0)->Items(2)->Items(0)->Text();
    EXPECT_TRUE(next.endsWith(QLatin1String(" u=\"\" FirstParaBreak=\"1\""))) << u8(next);
}

TEST_F(PreparedPages, PicturesCarryTheirCacheIndexAfterTwoSpaces)
{
    auto *pic = make<TfrxPictureView>(master, QStringLiteral("Picture1"));
    pic->SetBounds(300, 0, 50, 18.9);
    start();
    store.AddPage(page);
    memo->SetVisible(false);
    store.AddObject(master);
    EXPECT_EQ(store.AliasName(pic), QStringLiteral("p1"));
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String("<p1  ImageIndex=\"0\"/>"))) << u8(xml.left(300));

    // A picture with a graphic goes into the cache once, until it changes again.
    static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x02\0\0\0\x03\x08\x02\0\0\0";
    pic->Picture()->LoadFromBytes(QByteArray(png, sizeof png - 1));
    pic->SetTransparent(true);
    store.AddObject(master);
    store.AddObject(master);
    EXPECT_EQ(store.PictureCache().Count(), 1);
    const QString after = QString::fromUtf8(saved(store));
    EXPECT_TRUE(after.contains(QLatin1String("<p1  ImageIndex=\"1\" Transparent=\"1\"/>"))) << u8(after.left(400));
    EXPECT_TRUE(after.contains(QLatin1String("<picturecache><item stream=\"89504E470D0A1A0A")));

    // Read back, the picture takes its graphic from the cache.
    TfrxPreviewPages loaded(&report);
    load(loaded, after.toUtf8());
    TfrxPage *p = loaded.GetPage(0);
    auto *rebuilt = dynamic_cast<TfrxPictureView *>(p->Objects().last()->FindObject(QStringLiteral("Picture1")));
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_EQ(rebuilt->Picture()->GraphicClass(), QStringLiteral("TPngImage"));
    EXPECT_EQ(rebuilt->Picture()->Data(), QByteArray(png, sizeof png - 1));
}

TEST_F(PreparedPages, CommaLocaleGoesIntoDifferencesButNotIntoSourcePages)
{
    SettingsScope ru(FormatSettings::russian());
    memo->SetHeight(18.5);
    start();
    store.AddPage(page);
    memo->SetHeight(23.5);
    row(QStringLiteral("x"), 22.68);
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String("<b2 t=\"22,68\"><m1 h=\"23,5\" u=\"x\"/></b2>"))) << u8(xml.left(300));
    const QString sources = xml.mid(xml.indexOf(QLatin1String("<sourcepages>")));
    EXPECT_TRUE(sources.contains(QLatin1String("Height=\"18.5\""))) << u8(sources);
    EXPECT_TRUE(sources.contains(QLatin1String("Top=\"64\"")));
    EXPECT_FALSE(sources.contains(QLatin1String("22,68")));

    // Either separator reads back.
    for (const char *sep : {",", "."}) {
        QByteArray bytes = xml.toUtf8();
        bytes.replace("23,5", QByteArray("23") + sep + "5");
        TfrxPreviewPages loaded(&report);
        load(loaded, bytes);
        auto *m = loaded.GetPage(0)->FindObject(QStringLiteral("Memo1"));
        ASSERT_NE(m, nullptr);
        EXPECT_DOUBLE_EQ(m->Height(), 23.5) << sep;
    }
}

// ---------------------------------------------------------------------------------------
// Pages, passes and numbering

TEST_F(PreparedPages, PagesFromTheThirdOnAreUnloadable)
{
    pages(4);
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String("<previewpages><page0><b2"))) << u8(xml.left(200));
    EXPECT_EQ(xml.count(QLatin1String("<page0 ld=\"0\">")), 2);
    EXPECT_EQ(xml.count(QLatin1String("<page0>")), 2);
    EXPECT_TRUE(xml.contains(QLatin1String("<logicalpagenumbers><page n=\"1\"/><page n=\"2\"/><page n=\"3\"/><page n=\"4\"/>")));

    // Read back with and without partial loading, the file saves unchanged.
    for (bool partial : {false, true}) {
        auto *buf = new QBuffer;
        buf->setData(xml.toUtf8());
        buf->open(QIODevice::ReadOnly);
        TfrxPreviewPages loaded(&report);
        loaded.LoadFromStream(buf, partial);
        if (!partial)
            delete buf;
        EXPECT_EQ(QString::fromUtf8(saved(loaded)), xml) << partial;
        EXPECT_EQ(loaded.GetPage(3)->FindObject(QStringLiteral("Memo1"))->Objects().size(), 0);
        EXPECT_EQ(dynamic_cast<TfrxMemoView *>(loaded.GetPage(3)->FindObject(QStringLiteral("Memo1")))->Text(),
                  QStringLiteral("p3\r\n"));
    }
}

TEST_F(PreparedPages, FileCacheMovesPagesOutAndTheSaveReadsThemBack)
{
    pages(6);
    const QByteArray expected = saved(store);

    master->SetTop(64);
    memo->SetText(QStringLiteral("[Name]"));
    TfrxReport cached;
    cached.EngineOptions()->UseFileCache = true;
    cached.EngineOptions()->MaxMemSize = 0; // every page added moves the earlier ones out
    TfrxPreviewPages small(&cached);
    small.Initialize();
    small.AddSourcePage(page);
    small.BeginPass();
    for (int i = 0; i < 6; ++i) {
        small.AddPage(page);
        memo->SetText(QStringLiteral("p%1").arg(i));
        master->SetTop(22.68);
        small.AddObject(master);
    }
    small.Finish();
    TfrxXMLItem *pages = small.XMLDocument().Root()->Items(0);
    // The first two pages stay, and so does the last one finished.
    EXPECT_TRUE(pages->Items(0)->Loaded());
    EXPECT_FALSE(pages->Items(2)->Loaded());
    EXPECT_FALSE(pages->Items(3)->Loaded());
    EXPECT_TRUE(pages->Items(4)->Loaded());
    EXPECT_FALSE(small.XMLDocument().TempFileName().isEmpty());
    EXPECT_EQ(QString::fromUtf8(saved(small)), QString::fromUtf8(expected));
    EXPECT_EQ(saved(small), expected);
    EXPECT_EQ(dynamic_cast<TfrxMemoView *>(small.GetPage(4)->FindObject(QStringLiteral("Memo1")))->Text(),
              QStringLiteral("p4\r\n"));
}

TEST_F(PreparedPages, TwoPassRunKeepsFirstPassNumbersAndFinalPassPages)
{
    TfrxCustomEngine *engine = report.Engine();
    engine->DoublePass = true;
    engine->FinalPass = false;
    start();
    for (int i = 0; i < 3; ++i) {
        store.AddPage(page);
        row(QStringLiteral("first"), 22.68);
    }
    // First-pass pages carry only the base differences.
    EXPECT_EQ(store.XMLDocument().Root()->Items(0)->Items(0)->Items(0)->Items(0)->Text(), QString());
    store.ClearFirstPassPages();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(store.CurPage, -1);
    engine->FinalPass = true;
    engine->TotalPages = 3;
    for (int i = 0; i < 3; ++i) {
        store.AddPage(page);
        row(QStringLiteral("final %1").arg(i), 22.68);
        EXPECT_EQ(store.GetLogicalPageNo(), i + 1);
        EXPECT_EQ(store.GetLogicalTotalPages(), 3);
    }
    store.ResetLogicalPageNumber(); // ignored in the final pass
    store.Finish();
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String(
        "<logicalpagenumbers><page n=\"1\" t=\"3\"/><page n=\"2\" t=\"3\"/><page n=\"3\" t=\"3\"/></logicalpagenumbers>")))
        << u8(xml.left(500));
    EXPECT_EQ(xml.count(QLatin1String("first")), 0);
    EXPECT_EQ(xml.count(QLatin1String("u=\"final ")), 3);
}

TEST_F(PreparedPages, NumberingRestartsWithinARunAndTotalsFollowEachRun)
{
    start();
    store.AddPage(page);
    store.AddPage(page);
    store.ResetLogicalPageNumber(); // a group restarting page numbers after two pages
    store.AddPage(page);
    EXPECT_EQ(store.GetLogicalPageNo(), 1);
    EXPECT_EQ(store.GetLogicalTotalPages(), 0); // a single pass never learns the last total
    store.CurPage = 1;
    EXPECT_EQ(store.GetLogicalPageNo(), 2);
    EXPECT_EQ(store.GetLogicalTotalPages(), 2);
    store.CurPage = 5; // no element: counted from the first page of the run
    store.FirstPage = 1;
    EXPECT_EQ(store.GetLogicalPageNo(), 5);
}

TEST_F(PreparedPages, ColumnsRevisitAPageAndAddActionAppends)
{
    start();
    store.AddPage(page);
    store.AddPage(page);
    store.CurPage = 0; // the engine goes back for the next column
    store.AddPage(page);
    EXPECT_EQ(store.Count(), 2);
    EXPECT_EQ(store.CurPage, 1);
    store.CurPage = 0;
    store.AddPageAction = apAdd;
    store.AddPage(page);
    EXPECT_EQ(store.Count(), 3);
    EXPECT_EQ(store.CurPage, 2);
    EXPECT_EQ(store.AddPageAction, apWriteOver);
}

// ---------------------------------------------------------------------------------------
// Layout helpers

TEST_F(PreparedPages, KeepBlockMovesToTheNextPageWithAnchorsAndOutline)
{
    TfrxCustomEngine *engine = report.Engine();
    start();
    store.AddPage(page);
    store.Outline()->LevelRoot();
    store.AddObject(header);
    store.Outline()->AddItem(QStringLiteral("before"), 30);
    store.Outline()->LevelUp();
    engine->CurY = 30;
    store.AddAnchor(QStringLiteral("before"));

    // The block starts.
    const int anchor = store.GetAnchorCurPosition();
    TfrxXMLItem *outlinePos = store.Outline()->GetCurPosition();
    const int pos = store.GetCurPosition();
    row(QStringLiteral("r1"), 700);
    store.Outline()->AddItem(QStringLiteral("r1"), 700);
    store.Outline()->AddItem(QStringLiteral("r1 child"), 710);
    store.Outline()->LevelUp();
    store.Outline()->LevelUp();
    engine->CurY = 700;
    store.AddAnchor(QStringLiteral("r1"));
    row(QStringLiteral("r2"), 718.9);
    store.Outline()->AddItem(QStringLiteral("r2"), 719);
    store.Outline()->LevelUp();

    // It does not fit: cut, new page, header, paste under the header.
    store.CutObjects(pos);
    EXPECT_EQ(store.GetCurPosition(), 1);
    store.AddPage(page);
    store.AddObject(header);
    store.PasteObjects(0, 22.68);
    store.ShiftAnchors(anchor, 22);
    store.Outline()->ShiftItems(outlinePos, 22);

    EXPECT_EQ(store.XMLDocument().Root()->Find(QStringLiteral("cutted")), -1);
    EXPECT_EQ(element(1), QStringLiteral(" t=\"22.68\" l=\"0\""));
    EXPECT_EQ(element(2), QStringLiteral(" t=\"41.58\" l=\"0\""));
    EXPECT_DOUBLE_EQ(store.GetLastY(), 41.58 + 18.9);
    EXPECT_TRUE(store.BandExists(master));
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String(
        "<outline><item text=\"before\" page=\"0\" top=\"30\"/><item text=\"r1\" page=\"1\" top=\"22\">"
        "<item text=\"r1 child\" page=\"1\" top=\"32\"/></item><item text=\"r2\" page=\"1\" top=\"41\"/></outline>")))
        << u8(xml.left(700));
    EXPECT_TRUE(xml.contains(QLatin1String(
        "<anchors><item text=\"before\" page=\"0\" top=\"30\"/><item text=\"r1\" page=\"1\" top=\"22\"/></anchors>")));
    // Elements the file layout puts first stay first.
    EXPECT_LT(xml.indexOf(QLatin1String("<outline>")), xml.indexOf(QLatin1String("<anchors>")));
    EXPECT_LT(xml.indexOf(QLatin1String("<anchors>")), xml.indexOf(QLatin1String("<report>")));
}

TEST_F(PreparedPages, LastYAndBandExistsFollowTheCurrentPage)
{
    auto *footer = make<TfrxPageFooter>(page, QStringLiteral("PageFooter1"));
    footer->SetBounds(0, 1000, 718.1, 30);
    auto *title = make<TfrxReportTitle>(page, QStringLiteral("ReportTitle1"));
    title->SetBounds(0, 0, 718.1, 40);
    start();
    store.AddPage(page);
    EXPECT_DOUBLE_EQ(store.GetLastY(), 0);
    store.SetLastY(12);
    EXPECT_DOUBLE_EQ(store.GetLastY(), 0 + 12);
    store.SetLastY(0);
    EXPECT_FALSE(store.BandExists(footer));
    store.AddObject(footer); // footers never count for the lowest band
    EXPECT_TRUE(store.BandExists(footer));
    EXPECT_DOUBLE_EQ(store.GetLastY(), 0);
    title->SetTop(5);
    store.AddObject(title);
    master->SetLeft(300); // a second column
    row(QStringLiteral("c2"), 45);
    EXPECT_DOUBLE_EQ(store.GetLastY(), 45 + 18.9);
    EXPECT_DOUBLE_EQ(store.GetLastY(300), 45 + 18.9);
    EXPECT_DOUBLE_EQ(store.GetLastY(10), 45); // only the title counts in another column
    auto *other = make<TfrxPageFooter>(page, QStringLiteral("PageFooter2"));
    EXPECT_TRUE(store.BandExists(other)); // any page footer
    EXPECT_FALSE(store.BandExists(header));
}

TEST_F(PreparedPages, EditingPagesInsertsDeletesAndReplaces)
{
    start();
    store.AddPage(page);
    row(QStringLiteral("one"), 22.68);
    store.AddPage(page);
    row(QStringLiteral("two"), 22.68);
    store.Finish();

    store.AddEmptyPage(0);
    ASSERT_EQ(store.Count(), 3);
    EXPECT_EQ(store.GetPage(0)->Objects().size(), 0);
    store.DeletePage(0);
    EXPECT_EQ(dynamic_cast<TfrxMemoView *>(store.GetPage(0)->FindObject(QStringLiteral("Memo1")))->Text(),
              QStringLiteral("one\r\n"));

    TfrxPage *edited = store.GetPage(1);
    dynamic_cast<TfrxMemoView *>(edited->FindObject(QStringLiteral("Memo1")))->SetText(QStringLiteral("edited"));
    store.ModifyPage(1, edited);
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String("</page0><TfrxReportPage Name=\"Page1\""))) << u8(xml.left(600));
    EXPECT_TRUE(xml.contains(QLatin1String("<TfrxMemoView Name=\"Memo1\"")));
    EXPECT_TRUE(xml.contains(QLatin1String("Text=\"edited\"")));
    TfrxPreviewPages loaded(&report);
    load(loaded, xml.toUtf8());
    EXPECT_EQ(dynamic_cast<TfrxMemoView *>(loaded.GetPage(1)->FindObject(QStringLiteral("Memo1")))->Text(),
              QStringLiteral("edited\r\n"));

    store.DeletePage(0);
    store.DeletePage(0); // the last page stays
    EXPECT_EQ(store.Count(), 1);
}

TEST_F(PreparedPages, EndlessPageTakesItsGrownSize)
{
    start();
    store.AddPage(page);
    store.UpdatePageDimensions(page, 794, 2000);
    auto *source = dynamic_cast<TfrxReportPage *>(store.SourcePage(0));
    EXPECT_EQ(source->PaperSize(), DMPAPER_USER);
    EXPECT_DOUBLE_EQ(source->PaperWidth(), 210.08);
    EXPECT_DOUBLE_EQ(source->PaperHeight(), 529.17);
    EXPECT_EQ(store.GetPageSize(0), QSize(794, 2000));
    const QString xml = QString::fromUtf8(saved(store));
    EXPECT_TRUE(xml.contains(QLatin1String("PaperHeight=\"529.17\""))) << u8(xml);
}

TEST(PictureCache, SegmentsSplitPicturesAndKeepTheirBytes)
{
    TfrxPictureCache cache;
    cache.SetSegmentLimit(10);
    EXPECT_EQ(cache.AddBytes(QByteArray("abcdef")), 1);
    EXPECT_EQ(cache.AddBytes(QByteArray("ghijkl")), 2); // still the first segment (6 < 10)
    EXPECT_EQ(cache.AddBytes(QByteArray("mn")), 3);     // a new one: the first has 12
    EXPECT_EQ(cache.SegmentCount(), 2);
    EXPECT_EQ(cache.Bytes(1), QByteArray("abcdef"));
    EXPECT_EQ(cache.Bytes(2), QByteArray("ghijkl"));
    EXPECT_EQ(cache.Bytes(3), QByteArray("mn"));
    EXPECT_EQ(cache.Bytes(4), QByteArray());

    QTemporaryDir dir;
    TfrxPictureCache files;
    files.SetOptions(true, dir.path());
    files.AddBytes(QByteArray("xyz"));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("frPic*")}, QDir::Files).size(), 1);
    files.SetOptions(false, QString()); // taken only while empty
    EXPECT_TRUE(files.InFile());
    EXPECT_EQ(files.Bytes(1), QByteArray("xyz"));
    files.Clear();
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("frPic*")}, QDir::Files).isEmpty());
}
