#include "report/engine/aggregates.h"

#include "base/fastcast.h"
#include "base/numberformat.h"
#include "report/engine/bandtree.h"
#include "report/engine/memotext.h"
#include "report/model/bands.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"

#include <QSet>

namespace tw {

namespace {

// Report variables may name each other; deeper chains than this are not followed.
constexpr int maxScanDepth = 32;

bool isOperator(QChar c)
{
    if (c.unicode() < 0x20 || c == QLatin1Char(' ') || c.isDigit())
        return true;
    return QStringView(u"!#$%&*+,-./=[]^|").contains(c);
}

bool endsWord(QChar c)
{
    return isOperator(c) || QStringView(u"()<>'\"").contains(c);
}

// The arguments of an aggregate call, split at commas outside quotes and nested
// parentheses, each trimmed; at most three.
QStringList splitArguments(const QString &text)
{
    QStringList args;
    if (text.trimmed().isEmpty())
        return args;
    int depth = 0;
    bool inSingle = false, inDouble = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\'') && !inDouble)
            inSingle = !inSingle;
        else if (c == QLatin1Char('"') && !inSingle)
            inDouble = !inDouble;
        else if (inSingle || inDouble)
            continue;
        else if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (c == QLatin1Char(',') && depth == 0) {
            args.append(text.mid(start, i - start).trimmed());
            start = i + 1;
        }
    }
    args.append(text.mid(start).trimmed());
    return args.mid(0, 3);
}

QString unquoted(const QString &s)
{
    if (s.size() >= 2 && (s.front() == QLatin1Char('\'') || s.front() == QLatin1Char('"')) && s.back() == s.front())
        return s.mid(1, s.size() - 2);
    return s;
}

void combine(TfrxAggregateFunction f, Variant &acc, const Variant &v)
{
    if (acc.isNull()) {
        acc = v;
        return;
    }
    if (v.isNull())
        return;
    switch (f) {
    case agSum:
    case agAvg: acc = var::add(acc, v); break;
    case agMin:
        if (var::less(v, acc))
            acc = v;
        break;
    case agMax:
        if (var::greater(v, acc))
            acc = v;
        break;
    case agCount: break;
    }
}

template <class Kind>
TfrxBand *firstBandOf(const TfrxReportPage *page)
{
    for (TfrxComponent *c : page->Objects())
        if (auto *b = fastCast<Kind *>(c))
            return b;
    return nullptr;
}

bool inColumnRange(int vColumn) { return vColumn > 0 && vColumn < frxMaxVColumns; }

} // namespace

TfrxAggregateFunction aggregateFunctionByName(const QString &name)
{
    const QString n = name.trimmed().toUpper();
    if (n == QLatin1String("SUM"))
        return agSum;
    if (n == QLatin1String("AVG"))
        return agAvg;
    if (n == QLatin1String("MIN"))
        return agMin;
    if (n == QLatin1String("MAX"))
        return agMax;
    return agCount;
}

// ---------------------------------------------------------------------------------------

void TfrxAggregateItem::AddValue(const Variant &value, int vColumn)
{
    Variant v = value;
    if (v.kind() == Variant::Kind::Boolean)
        v = Variant(v.toBool() ? 1 : 0);

    Variant *acc = &ItemsValue;
    int *count = &ItemsCount;
    m_lastKept = Keeping;
    m_lastVColumn = 0;
    if (Keeping) {
        acc = &TempItemsValue;
        count = &TempItemsCount;
    } else if (inColumnRange(vColumn)) {
        if (ItemsArray.isEmpty()) {
            ItemsArray.fill(Variant::null(), frxMaxVColumns);
            ItemsCountArray.fill(0, frxMaxVColumns);
        }
        acc = &ItemsArray[vColumn];
        count = &ItemsCountArray[vColumn];
        m_lastVColumn = vColumn;
    }
    LastCount = *count;
    LastValue = *acc;
    if (AggregateFunction != agAvg || !v.isNull())
        ++*count;
    combine(AggregateFunction, *acc, v);
}

void TfrxAggregateItem::DeleteValue()
{
    if (m_lastKept) {
        TempItemsCount = LastCount;
        TempItemsValue = LastValue;
    } else if (m_lastVColumn > 0 && !ItemsArray.isEmpty()) {
        ItemsCountArray[m_lastVColumn] = LastCount;
        ItemsArray[m_lastVColumn] = LastValue;
    } else {
        ItemsCount = LastCount;
        ItemsValue = LastValue;
    }
}

void TfrxAggregateItem::StartKeep()
{
    Keeping = true;
    TempItemsCount = 0;
    TempItemsValue = Variant::null();
}

void TfrxAggregateItem::EndKeep()
{
    if (!Keeping)
        return;
    Keeping = false;
    ItemsCount += TempItemsCount;
    combine(AggregateFunction, ItemsValue, TempItemsValue);
    TempItemsCount = 0;
    TempItemsValue = Variant::null();
}

void TfrxAggregateItem::Reset()
{
    if (DontReset && ItemsCount != 0)
        return;
    Clear();
}

void TfrxAggregateItem::Clear()
{
    // Rows held by an open keep block are not part of what is cleared: they still go to
    // the page they move to.
    ItemsCount = 0;
    ItemsValue = Variant::null();
    ItemsArray.clear();
    ItemsCountArray.clear();
}

Variant TfrxAggregateItem::Value(int vColumn) const
{
    Variant v = ItemsValue;
    int count = ItemsCount;
    if (inColumnRange(vColumn)) {
        v = ItemsArray.isEmpty() ? Variant::null() : ItemsArray[vColumn];
        count = ItemsCountArray.isEmpty() ? 0 : ItemsCountArray[vColumn];
    }
    Variant result;
    switch (AggregateFunction) {
    case agAvg: result = v.isNull() || count == 0 ? Variant::null() : var::divide(v, Variant(count)); break;
    case agCount: result = Variant(count); break;
    default: result = v; break;
    }
    return result.isNull() ? Variant(0) : result;
}

// ---------------------------------------------------------------------------------------

struct TfrxAggregateList::ScanContext {
    TfrxCustomMemoView *memo = nullptr;
    TfrxBand *parentBand = nullptr;
    TfrxDataBand *defaultBand = nullptr;
    QStringList variables; // being scanned, so a variable that names itself stops
};

TfrxAggregateList::TfrxAggregateList(TfrxReport *report) : m_report(report) {}

TfrxAggregateList::~TfrxAggregateList() = default;

void TfrxAggregateList::Clear()
{
    m_items.clear();
}

void TfrxAggregateList::AddItems(TfrxReportPage *page)
{
    if (!page)
        return;
    const TfrxBandTree trees[2] = {buildBandTree(page, false), buildBandTree(page, true)};
    for (const TfrxBandTree &tree : trees) {
        std::function<void(const QList<TfrxDataBand *> &)> walk = [&](const QList<TfrxDataBand *> &bands) {
            for (TfrxDataBand *data : bands) {
                scanBandChain(tree.Footers.value(data), data);
                for (TfrxGroupHeader *group : tree.Groups.value(data))
                    scanBandChain(tree.GroupFooters.value(group), data);
                if (data->Vertical())
                    for (TfrxComponent *c : data->AllObjects())
                        if (auto *memo = fastCast<TfrxCustomMemoView *>(c); memo && memo->AllowExpressions())
                            AddMemoItems(memo, data, data);
                walk(tree.Details.value(data));
            }
        };
        walk(tree.SubBands);
    }

    TfrxDataBand *first = !trees[0].SubBands.isEmpty() ? trees[0].SubBands.first()
                        : !trees[1].SubBands.isEmpty() ? trees[1].SubBands.first()
                                                       : nullptr;
    if (!first)
        return;
    scanBandChain(firstBandOf<TfrxPageFooter>(page), first);
    scanBandChain(firstBandOf<TfrxColumnFooter>(page), first);
    scanBandChain(firstBandOf<TfrxReportSummary>(page), first);
}

void TfrxAggregateList::scanBandChain(TfrxBand *band, TfrxDataBand *defaultBand)
{
    QSet<TfrxBand *> seen;
    for (TfrxBand *b = band; b && !seen.contains(b); b = b->Child()) {
        seen.insert(b);
        for (TfrxComponent *c : b->AllObjects())
            if (auto *memo = fastCast<TfrxCustomMemoView *>(c); memo && memo->AllowExpressions())
                AddMemoItems(memo, b, defaultBand);
    }
}

void TfrxAggregateList::AddMemoItems(TfrxCustomMemoView *memo, TfrxBand *parentBand, TfrxDataBand *defaultBand)
{
    QString open, close;
    splitExpressionDelimiters(memo->ExpressionDelimiters(), open, close);
    if (open.isEmpty())
        return;
    ScanContext ctx;
    ctx.memo = memo;
    ctx.parentBand = parentBand;
    ctx.defaultBand = defaultBand;
    const QString text = memo->Text();
    qsizetype i = 0;
    while ((i = text.indexOf(open, i)) >= 0) {
        QString expression;
        qsizetype end = i;
        if (!findBracket(text, i, open, close, expression, end))
            break;
        scanExpression(expression, ctx, 0);
        i = end + 1;
    }
}

void TfrxAggregateList::scanExpression(const QString &text, ScanContext &ctx, int depth)
{
    if (depth > maxScanDepth)
        return;
    const QString whole = text.trimmed();
    if (m_report && m_report->Variables().IndexOf(whole) >= 0) {
        if (ctx.variables.contains(whole, Qt::CaseInsensitive))
            return;
        const Variant value = m_report->Variables().Get(whole);
        if (value.isString()) {
            ctx.variables.append(whole);
            scanExpression(value.toText(), ctx, depth + 1);
            ctx.variables.removeLast();
        }
        return;
    }
    if (m_report) {
        TfrxDataSet *ds = nullptr;
        QString field;
        m_report->GetDatasetAndField(whole, ds, field);
        if (ds)
            return;
    }
    scanWords(text, ctx, depth);
}

void TfrxAggregateList::scanWords(const QString &text, ScanContext &ctx, int depth)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (isOperator(c)) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(c, i + 1);
            i = close < 0 ? n : close + 1;
            continue;
        }
        if (c == QLatin1Char('(') || c == QLatin1Char('<')) {
            const QString open(c), close(c == QLatin1Char('(') ? QLatin1Char(')') : QLatin1Char('>'));
            QString inner;
            qsizetype end = i;
            findBracket(text, i, open, close, inner, end);
            scanExpression(inner, ctx, depth + 1);
            i = end + 1;
            continue;
        }
        qsizetype j = i;
        while (j < n && !endsWord(text[j]))
            ++j;
        if (j == i) { // a stray ')' or '>'
            ++i;
            continue;
        }
        const QString word = text.mid(i, j - i);
        const QString upper = word.toUpper();
        qsizetype k = j;
        while (k < n && text[k] == QLatin1Char(' '))
            ++k;
        const bool isAggregate = upper == QLatin1String("SUM") || upper == QLatin1String("MIN") ||
                                 upper == QLatin1String("MAX") || upper == QLatin1String("AVG") ||
                                 upper == QLatin1String("COUNT");
        if (isAggregate && k < n && text[k] == QLatin1Char('(')) {
            QString inner;
            qsizetype end = k;
            findBracket(text, k, QStringLiteral("("), QStringLiteral(")"), inner, end);
            addItem(text.mid(i, end - i + 1).trimmed(), upper, splitArguments(inner), ctx);
            i = end + 1;
            continue;
        }
        if (m_report && m_report->Variables().IndexOf(word) >= 0)
            scanExpression(word, ctx, depth + 1);
        i = j;
    }
}

void TfrxAggregateList::addItem(const QString &callText, const QString &function, const QStringList &args,
                                ScanContext &ctx)
{
    auto item = std::make_unique<TfrxAggregateItem>();
    item->AggregateFunction = aggregateFunctionByName(function);
    QString bandName, flagsText;
    if (item->AggregateFunction == agCount) {
        bandName = args.value(0);
        flagsText = args.value(1);
    } else {
        item->Expression = args.value(0);
        bandName = args.value(1);
        flagsText = args.value(2);
    }
    bandName = unquoted(bandName.trimmed());
    // A name that is no data band of the report counts the default band, as an omitted one.
    TfrxDataBand *band = nullptr;
    if (!bandName.isEmpty() && m_report)
        band = fastCast<TfrxDataBand *>(m_report->FindObject(bandName));
    item->Band = band ? band : ctx.defaultBand;
    int flags = 0;
    if (!tryStrToInt(flagsText.trimmed(), flags))
        flags = 0;
    item->CountInvisibleBands = flags & 1;
    item->DontReset = flags & 2;
    item->ParentBand = ctx.parentBand;
    item->IsPageFooter = fastCast<TfrxPageFooter *>(ctx.parentBand) != nullptr;
    item->OriginalName = callText;
    item->MemoName = ctx.memo ? ctx.memo->Name() : QString();
    item->Clear();
    m_items.push_back(std::move(item));
}

void TfrxAggregateList::AddValue(TfrxBand *band, int vColumn)
{
    if (!band)
        return;
    for (const auto &item : m_items) {
        if (static_cast<TfrxBand *>(item->Band) != band)
            continue;
        if (!band->Visible() && !item->CountInvisibleBands)
            continue;
        Variant value = Variant::null();
        if (item->AggregateFunction != agCount && m_report)
            value = m_report->Calc(item->Expression);
        item->AddValue(value, vColumn);
    }
}

void TfrxAggregateList::DeleteValue(TfrxBand *band)
{
    for (const auto &item : m_items)
        if (static_cast<TfrxBand *>(item->Band) == band)
            item->DeleteValue();
}

void TfrxAggregateList::Reset(TfrxBand *parentBand)
{
    for (const auto &item : m_items)
        if (item->ParentBand == parentBand)
            item->Reset();
}

void TfrxAggregateList::StartKeep()
{
    for (const auto &item : m_items)
        if (item->IsPageFooter)
            item->StartKeep();
}

void TfrxAggregateList::EndKeep()
{
    for (const auto &item : m_items)
        item->EndKeep();
}

void TfrxAggregateList::ClearValues()
{
    for (const auto &item : m_items) {
        item->Clear();
        item->Keeping = false;
        item->TempItemsCount = 0;
        item->TempItemsValue = Variant::null();
    }
}

Variant TfrxAggregateList::GetValue(TfrxBand *parentBand, int vColumn, const QString &name, const QString &expression,
                                    TfrxBand *band, int flags) const
{
    const TfrxAggregateFunction f = aggregateFunctionByName(name);
    const QString expr = expression.trimmed();
    for (const auto &item : m_items) {
        if (item->ParentBand != parentBand || item->AggregateFunction != f)
            continue;
        // COUNT has no expression of its own.
        if (f != agCount && item->Expression.compare(expr, Qt::CaseInsensitive) != 0)
            continue;
        if (band && static_cast<TfrxBand *>(item->Band) != band)
            continue;
        if (item->CountInvisibleBands != bool(flags & 1) || item->DontReset != bool(flags & 2))
            continue;
        return item->Value(vColumn);
    }
    return Variant::null();
}

Variant TfrxAggregateList::GetValue(TfrxBand *parentBand, const QString &name, int vColumn) const
{
    const QString text = name.trimmed();
    for (const auto &item : m_items)
        if (item->ParentBand == parentBand && item->OriginalName.compare(text, Qt::CaseInsensitive) == 0)
            return item->Value(vColumn);
    return Variant::null();
}

} // namespace tw
