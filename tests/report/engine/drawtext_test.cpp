#include "report/engine/drawtext.h"
#include "report/engine/textmeasure.h"
#include "report/model/bands.h"
#include "report/model/font.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

std::string u8(const QString &s)
{
    return s.toStdString();
}

std::string joined(const QStringList &lines)
{
    return u8(lines.join(QLatin1Char('|')));
}

TFont font(const char *name, int size = 10, int style = 0)
{
    TFont f;
    f.SetName(QString::fromUtf8(name));
    f.SetSize(size);
    f.SetStyle(style);
    return f;
}

// Courier New resolves to Liberation Mono: every character of 10 pt is 50 units (8 px)
// wide at 600 dpi, so widths below are counted in characters.
constexpr double monoChar = 8;

struct Layout {
    TfrxDrawText text;
    explicit Layout(double chars, bool wordWrap = true, bool html = false, bool wordBreak = false,
                    const char *family = "Courier New")
    {
        text.SetFont(font(family));
        text.SetOptions(wordWrap, html, false, wordBreak, true, true, 0);
        text.SetGaps(0, 0, 2);
        text.SetRect(QRectF(0, 0, chars * monoChar, 1000));
    }
    std::string wrap(const char *source, bool firstParaBreak = false)
    {
        text.SetText(QString::fromUtf8(source).split(QLatin1Char('\n')), firstParaBreak);
        return joined(text.WrappedTexts());
    }
};

} // namespace

// ---------------------------------------------------------------------------------------
// Measurement

TEST(TextMeasure, StandardFamiliesResolveToMetricCompatibleFonts)
{
    for (const char *family : {"Arial", "Times New Roman", "Courier New"})
        EXPECT_TRUE(resolvedFontFile(QString::fromLatin1(family)).contains(QLatin1String("Liberation")))
            << family << " -> " << u8(resolvedFontFile(QString::fromLatin1(family)));
    // Bold is a face of its own.
    EXPECT_NE(resolvedFontFile(QStringLiteral("Arial"), fsBold), resolvedFontFile(QStringLiteral("Arial")));
}

TEST(TextMeasure, UnknownFamilyFallsBackInsteadOfFailing)
{
    const QString file = resolvedFontFile(QStringLiteral("No Such Family Anywhere"));
    EXPECT_FALSE(file.isEmpty());
    int widths[3] = {};
    defaultTextMeasurer().cumulativeWidths(TextFontSpec{QStringLiteral("No Such Family Anywhere"), 83, 0, 1},
                                           u"abc", widths);
    EXPECT_GT(widths[0], 0);
    EXPECT_LT(widths[0], widths[1]);
    EXPECT_LT(widths[1], widths[2]);
}

TEST(TextMeasure, CumulativeWidthsOfMonoAndProportionalText)
{
    int mono[4] = {};
    defaultTextMeasurer().cumulativeWidths(TextFontSpec{QStringLiteral("Courier New"), 83, 0, 204}, u"iWЖ1", mono);
    EXPECT_EQ(mono[0], 50);
    EXPECT_EQ(mono[3], 200);

    // Proportional: "i" narrower than "W"; a surrogate pair counts once, at its second unit.
    const QString text = QStringLiteral("iW") + QString::fromUcs4(U"\U0001D400") + QStringLiteral("i");
    std::vector<int> w(size_t(text.size()));
    defaultTextMeasurer().cumulativeWidths(TextFontSpec{QStringLiteral("Arial"), 83, 0, 1}, text, w.data());
    EXPECT_LT(w[0], w[1] - w[0]);
    EXPECT_EQ(w[2], w[1]);
    EXPECT_EQ(w[4] - w[3], w[0]);
}

// ---------------------------------------------------------------------------------------
// Wrapping

TEST(DrawText, WrapsAtTheLastSpaceThenBetweenCharacters)
{
    struct Case {
        double chars;
        bool wordWrap;
        const char *source;
        const char *lines;
    } cases[] = {
        {5, true, "aaaa bbbb", "aaaa|bbbb"},                // break at the space, which is dropped
        {5, true, "aa bb cc dd", "aa bb|cc dd"},            // the space that does not fit is the break
        {5, true, "abcdefghijkl", "abcde|fghij|kl"},        // one long word: between characters
        {5, true, "ab abcdefghij", "ab|abcde|fghij"},       // a long word after a short one
        {0.5, true, "abc", "a|b|c"},                        // not even one character fits
        {5, false, "aaaa bbbb cccc", "aaaa bbbb cccc"},     // no WordWrap: one line
        {5, true, "aaaaa", "aaaaa"},                        // exactly the width
        {5, true, "aaaa bbbb cccc\n\nx", "aaaa|bbbb|cccc| |x"}, // an empty line is one space
    };
    for (const Case &c : cases) {
        Layout l(c.chars, c.wordWrap);
        EXPECT_EQ(l.wrap(c.source), c.lines) << c.source;
    }
}

TEST(DrawText, ParagraphFlagsAndIndentOfFirstLines)
{
    Layout l(5);
    l.wrap("aaaa bbbb cccc\nx");
    std::vector<int> flags;
    for (const TfrxWrappedLine &line : l.text.Lines())
        flags.push_back(line.flags);
    EXPECT_EQ(flags, (std::vector<int>{lfFirst, 0, lfLast, lfFirst | lfLast}));

    // A paragraph gap of two characters narrows only the first line of each paragraph...
    l.text.SetGaps(2 * monoChar, 0, 2);
    EXPECT_EQ(l.wrap("aaaa bbbb\naaa bb"), "aaa|a|bbbb|aaa|bb");
    EXPECT_DOUBLE_EQ(l.text.CalcWidth(), 5 * monoChar); // "aaa" and its gap
    // ...but not a paragraph continued from an earlier part.
    EXPECT_EQ(l.wrap("aaaa bbbb", true), "aaaa|bbbb");
    EXPECT_EQ(l.text.Lines().front().flags, 0);
    EXPECT_DOUBLE_EQ(l.text.CalcWidth(), 4 * monoChar);
}

TEST(DrawText, CharacterSpacingWidensEveryCharacter)
{
    Layout l(5);
    l.text.SetGaps(0, 2, 2); // 50 + round(12.5) = 62 units a character: four fit in 250
    EXPECT_EQ(l.wrap("abcdefgh"), "abcd|efgh");
    EXPECT_DOUBLE_EQ(l.text.CalcWidth(), 4 * 62 / 6.25);
}

TEST(DrawText, RussianHyphenationWithWordBreak)
{
    struct Case {
        double chars;
        const char *source;
        const char *lines;
    } cases[] = {
        {5, "ПЕРЕНОС", "ПЕРЕ-|НОС"},        // the largest break before the character that does not fit
        {8, "да перенос", "да пере-|нос"},  // after a space: the space stays, syllables join it
        {5, "класса", "клас-|са"},          // a doubled consonant before a vowel splits
        {3, "класса", "кла|сса"},           // ...and is no break after the vowel before it
        {4, "война", "вой-|на"},            // no break between a vowel and Й
        {2, "дом", "до|м"},                 // three letters are never hyphenated
        {5, "подъезд", "по-|дъезд"},        // no break before Ъ
        {5, "wordy text", "wordy|text"},    // not Russian: the ordinary rules
    };
    for (const Case &c : cases) {
        Layout l(c.chars, true, false, true);
        EXPECT_EQ(l.wrap(c.source), c.lines) << c.source;
    }
    Layout plain(5);
    EXPECT_EQ(plain.wrap("ПЕРЕНОС"), "ПЕРЕН|ОС");
}

TEST(DrawText, HtmlTagsAreTakenOutOfTheMeasuredText)
{
    Layout l(100, true, true);
    EXPECT_EQ(l.wrap("<B>a</b><i>b</I><u>c</u><strike>d</strike><nowrap>e</nowrap><font color=red>f</font><q>"),
              "abcdef<q>");
    const std::vector<TfrxHTMLRun> &runs = l.text.Lines().front().runs;
    ASSERT_GE(runs.size(), 6u);
    EXPECT_EQ(runs[0].style.style, fsBold);
    EXPECT_EQ(runs[1].style.style, fsItalic);
    EXPECT_EQ(runs[5].style.color, 0x0000FF);
    EXPECT_EQ(runs.back().style.color, 0); // </font> restores the font's colour

    // Hexadecimal colours are red, green, blue; a bad value keeps the colour but the tag goes.
    l.wrap("<font color= \"#102030\">x</font><font color=nosuch>y");
    EXPECT_EQ(l.text.Lines().front().runs.front().style.color, 0x302010);
    EXPECT_EQ(joined(l.text.WrappedTexts()), "xy");

    // Without tags allowed they are text.
    Layout raw(100);
    EXPECT_EQ(raw.wrap("<b>a</b>"), "<b>a</b>");
}

TEST(DrawText, SubscriptsAreNarrowerAndBoldIsWider)
{
    Layout l(100, true, true);
    l.wrap("x<sub>2345</sub>");
    EXPECT_DOUBLE_EQ(l.text.CalcWidth(), (50 + 4 * 33) / 6.25); // round(50 / 1.5) = 33
    l.wrap("x<sup>2345</sup>");
    EXPECT_DOUBLE_EQ(l.text.CalcWidth(), (50 + 4 * 33) / 6.25);

    Layout arial(1000, true, true, false, "Arial");
    arial.wrap("Report total");
    const double regular = arial.text.CalcWidth();
    arial.wrap("<b>Report total</b>");
    EXPECT_GT(arial.text.CalcWidth(), regular);
    arial.wrap("Report <sub>total</sub>");
    EXPECT_LT(arial.text.CalcWidth(), regular);
}

TEST(DrawText, NowrapKeepsItsSpacesFromBreaking)
{
    Layout l(8, true, true);
    EXPECT_EQ(l.wrap("a <nowrap>bb cc</nowrap>dd"), "a|bb ccdd");
    // Inside it a line too long breaks between characters.
    EXPECT_EQ(l.wrap("a <nowrap>bb cc dd ee</nowrap>"), "a|bb cc dd| ee");
}

TEST(DrawText, HeightFollowsTheFontSizeOnly)
{
    Layout l(5);
    l.wrap("aaaa bbbb cccc");
    EXPECT_DOUBLE_EQ(l.text.LineHeight(), 83 / 6.25 + 2);
    EXPECT_DOUBLE_EQ(l.text.CalcHeight(), 3 * (83 / 6.25 + 2));
    l.text.SetGaps(0, 0, -3); // a negative spacing is given back once
    l.wrap("aaaa bbbb cccc");
    EXPECT_DOUBLE_EQ(l.text.CalcHeight(), 3 * (83 / 6.25 - 3) + 3);
    l.text.SetText({});
    EXPECT_EQ(l.text.CalcHeight(), 0);

    // The same lines in another family at the same size are as high.
    Layout arial(1000, true, false, false, "Arial");
    arial.wrap("a\nb\nc");
    EXPECT_DOUBLE_EQ(arial.text.CalcHeight(), 3 * (83 / 6.25 + 2));
}

TEST(DrawText, RotatedTextWrapsAlongTheRectanglesHeight)
{
    Layout l(5);
    l.text.SetRect(QRectF(0, 0, 5 * monoChar, 10 * monoChar));
    l.text.SetOptions(true, false, false, false, true, true, 450); // 90 degrees
    EXPECT_EQ(l.wrap("aaaa bbbb cccc"), "aaaa bbbb|cccc");
    l.text.SetOptions(true, false, false, false, true, true, 180);
    EXPECT_EQ(l.wrap("aaaa bbbb cccc"), "aaaa|bbbb|cccc");
}

TEST(DrawText, CutIntoTheLinesThatFitAndTheRest)
{
    Layout l(5, true, true);
    const double lh = 83 / 6.25 + 2;
    l.text.SetRect(QRectF(0, 0, 5 * monoChar, 2 * lh - 0.5)); // a line's + 1 of slack: two fit
    l.wrap("aaaa <b>bbbb cc<font color=\"#FF0000\">cc dd</font></b>\nnext");
    ASSERT_EQ(l.text.FittingLines(), 2);
    EXPECT_EQ(u8(l.text.GetInBoundsText()), "aaaa <b>bbbb");
    bool paragraphBreak = false;
    EXPECT_EQ(u8(l.text.GetOutBoundsText(paragraphBreak)),
              "<b>cc<font color=\"#FF0000\">cc dd</font></b>\r\nnext\r\n");
    EXPECT_TRUE(paragraphBreak);
    EXPECT_NEAR(l.text.UnusedSpace(), 0.5, 1e-9);

    // A cut at a paragraph end; the colour is still in force after it.
    l.text.SetRect(QRectF(0, 0, 5 * monoChar, 3 * lh + 5));
    l.wrap("aaaa bbbb <font color=\"#00FF00\">cccc\nnext");
    EXPECT_EQ(u8(l.text.GetOutBoundsText(paragraphBreak)), "<font color=\"#00FF00\">next\r\n");
    EXPECT_FALSE(paragraphBreak);
    EXPECT_NEAR(l.text.UnusedSpace(), 6, 1e-9);

    // Everything fits: no rest.
    l.wrap("aaaa");
    EXPECT_EQ(l.text.GetOutBoundsText(paragraphBreak), QString());
    EXPECT_EQ(u8(l.text.GetInBoundsText()), "aaaa");

    // 12 pt without spacing: lines of exactly 16 px; 31 px and the slack hold two, and
    // what is left is never exactly 0.
    l.text.SetFont(font("Courier New", 12));
    l.text.SetGaps(0, 0, 0);
    l.text.SetRect(QRectF(0, 0, 100, 31));
    l.wrap("a\nb\nc");
    EXPECT_EQ(l.text.LineHeight(), 16);
    EXPECT_EQ(l.text.FittingLines(), 2);
    EXPECT_EQ(l.text.UnusedSpace(), 0.0001);
}

// ---------------------------------------------------------------------------------------
// Memos

namespace {

class MemoLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = new TfrxReportPage(&report);
        band = new TfrxMasterData(page);
        memo = new TfrxMemoView(band);
        memo->SetFont(font("Courier New"));
        // GapX 2 on each side: the text is `chars` characters wide.
        setChars(5);
        memo->SetHeight(20);
    }
    void setChars(double chars) { memo->SetWidth(chars * monoChar + 4); }

    TfrxReport report;
    TfrxReportPage *page = nullptr;
    TfrxMasterData *band = nullptr;
    TfrxMemoView *memo = nullptr;
};

} // namespace

TEST_F(MemoLayout, HeightOfWrappedLinesWithGapsFrameAndShadow)
{
    struct Case {
        const char *name;
        int frameTyp;
        double frameWidth;
        bool shadow;
        double gapY;
        double height;
    } cases[] = {
        {"plain", 0, 1, false, 1, 48},                    // 45.84 + 2
        {"top and bottom, width 3", ftTop | ftBottom, 3, false, 1, 50}, // + 1 + 1.5
        {"left and right only", ftLeft | ftRight, 3, false, 1, 48},
        {"shadow", 0, 1, true, 1, 52},                    // + 4
        {"gap 3", 0, 1, false, 3, 52},
    };
    memo->SetText(QStringLiteral("aaaa bbbb cccc"));
    for (const Case &c : cases) {
        memo->Frame()->SetTyp(c.frameTyp);
        memo->Frame()->SetWidth(c.frameWidth);
        memo->Frame()->SetDropShadow(c.shadow);
        memo->SetGapY(c.gapY);
        // Framed left and right, the text area narrows by half a line each side.
        setChars(c.frameTyp & ftLeft ? 5 + 3 / monoChar : 5);
        EXPECT_EQ(memo->CalcHeight(), c.height) << c.name;
    }
    memo->Frame()->SetTyp(0);
    memo->Frame()->SetDropShadow(false);
    memo->SetGapY(1);
    memo->SetText(QString());
    EXPECT_EQ(memo->CalcHeight(), 2);
}

TEST_F(MemoLayout, HighlightFontAndAutoWidth)
{
    memo->SetText(QStringLiteral("aaaa bbbb cccc"));
    memo->Highlight()->SetFont(font("Courier New", 20));
    memo->Highlight()->SetActive(true);
    setChars(10);
    // 20 pt: 167 units a line; 5 characters of 100 units fit per line.
    EXPECT_EQ(memo->CalcHeight(), std::nearbyint(3 * (167 / 6.25 + 2) + 2));
    memo->Highlight()->SetActive(false);

    // AutoWidth lays out on a very wide area: one line, and the width it needs.
    memo->SetAutoWidth(true);
    EXPECT_EQ(memo->CalcHeight(), std::nearbyint(83 / 6.25 + 2 + 2));
    EXPECT_EQ(memo->CalcWidth(), 14 * monoChar + 4);
    memo->Frame()->SetTyp(ftLeft | ftRight);
    memo->Frame()->SetWidth(3);
    EXPECT_EQ(memo->CalcWidth(), std::nearbyint(14 * monoChar + 4 + 1 + 1.5));
}

TEST_F(MemoLayout, DrawPartPrintsWhatFitsAndKeepsTheRest)
{
    const double lh = 83 / 6.25 + 2;
    memo->SetText(QStringLiteral("aaaa bbbb cccc dddd\nnext"));
    memo->InitPart();
    EXPECT_TRUE(memo->HasNextDataPart());
    memo->SetHeight(2 * lh + 10); // two lines fit; GapY 1 above and below
    const double unused = memo->DrawPart();
    EXPECT_NEAR(unused, 2 * lh + 10 - 2 + 1 - 2 * lh, 1e-9);
    EXPECT_EQ(u8(memo->Text()), "aaaa bbbb\r\n"); // two wrapped lines, as the source had them
    EXPECT_EQ(u8(memo->PartText()), "cccc dddd\r\nnext\r\n");
    EXPECT_TRUE(memo->LastParaBreak());
    EXPECT_TRUE(memo->HasNextDataPart());

    // The prepared pages hand the flag on: the continued paragraph's first line is no
    // paragraph start.
    memo->SetFirstParaBreak(memo->LastParaBreak());
    memo->SetLastParaBreak(false);
    memo->SetHeight(100);
    EXPECT_GT(memo->DrawPart(), 0);
    EXPECT_EQ(u8(memo->Text()), "cccc dddd\r\nnext\r\n");
    EXPECT_FALSE(memo->LastParaBreak());
    EXPECT_FALSE(memo->HasNextDataPart());
    EXPECT_EQ(report.DrawText()->Lines().front().flags, 0);

    // InitPart starts over with the whole text and clears the flags.
    memo->SetText(QStringLiteral("aaaa bbbb"));
    memo->SetFirstParaBreak(true);
    memo->InitPart();
    EXPECT_FALSE(memo->FirstParaBreak());
    EXPECT_EQ(u8(memo->PartText()), "aaaa bbbb\r\n");
}

TEST_F(MemoLayout, DrawPartWithNothingFittingOrAHyphenatedCut)
{
    memo->SetText(QStringLiteral("aaaa bbbb"));
    memo->InitPart();
    memo->SetHeight(5);
    EXPECT_EQ(memo->DrawPart(), 5); // no line fits: the whole height is left
    EXPECT_EQ(memo->Text(), QString());
    EXPECT_EQ(u8(memo->PartText()), "aaaa bbbb\r\n");

    memo->SetWordBreak(true);
    memo->SetText(QStringLiteral("ПЕРЕНОС СЛОВ"));
    memo->InitPart();
    memo->SetHeight(83 / 6.25 + 2 + 2);
    memo->DrawPart();
    EXPECT_EQ(u8(memo->Text()), "ПЕРЕ-\r\n");
    EXPECT_EQ(u8(memo->PartText()), "НОС СЛОВ\r\n");
    EXPECT_TRUE(memo->LastParaBreak());
}

TEST_F(MemoLayout, MemoOutsideAReportStillMeasures)
{
    TfrxMemoView loose;
    loose.SetFont(font("Courier New"));
    loose.SetBounds(0, 0, 5 * monoChar + 4, 20);
    loose.SetText(QStringLiteral("aaaa bbbb cccc"));
    EXPECT_EQ(loose.CalcHeight(), 48);
}
