#include "report/engine/bandtree.h"

#include "base/formatsettings.h"
#include "base/textformat.h"
#include "report/model/bands.h"
#include "report/model/pages.h"
#include "report/xml/resources.h"

#include <QSet>
#include <algorithm>
#include <functional>

namespace tw {

namespace {

constexpr int bnHeader = 4, bnFooter = 5, bnMasterData = 6, bnGroupHeader = 12, bnGroupFooter = 13;

bool isDataNumber(int n) { return n >= bnMasterData && n <= 11; }

QString errorLine(const char *key, const TfrxBand *band)
{
    return frxResources().Get(QString::fromLatin1(key)) + QLatin1Char(' ') + band->Name();
}

} // namespace

bool hasRowSource(const TfrxDataBand *band)
{
    return band && (band->DataSet() || band->RowCount() > 0);
}

TfrxBandTree buildBandTree(const TfrxReportPage *page, bool vertical)
{
    TfrxBandTree tree;
    if (!page)
        return tree;

    // Headers, footers, data bands, group headers and footers, in page order. The keys
    // are compared as "%9.2f" texts, the way the band engine orders them.
    struct Entry {
        TfrxBand *band;
        int number;
        QString key;
    };
    QList<Entry> list;
    const FormatSettings &fs = FormatSettings::current();
    for (TfrxComponent *c : page->Objects()) {
        auto *band = dynamic_cast<TfrxBand *>(c);
        if (!band || band->Vertical() != vertical)
            continue;
        const int n = band->BandNumber();
        if (n < bnHeader || n > bnGroupFooter)
            continue;
        const double pos = vertical ? band->Left() : band->Top();
        list.append({band, n, tw::format(QStringLiteral("%9.2f"), {Variant(pos)}, fs)});
    }
    std::stable_sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) { return a.key < b.key; });

    // Groups: a run of group headers belongs to the next data band below it.
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].number != bnGroupHeader || (i > 0 && list[i - 1].number == bnGroupHeader))
            continue;
        QList<TfrxGroupHeader *> run;
        qsizetype k = i;
        for (; k < list.size() && list[k].number == bnGroupHeader; ++k)
            run.append(static_cast<TfrxGroupHeader *>(list[k].band));
        bool found = false;
        for (; k < list.size() && !found; ++k) {
            if (isDataNumber(list[k].number)) {
                auto *data = static_cast<TfrxDataBand *>(list[k].band);
                if (!tree.Groups.contains(data))
                    tree.Groups.insert(data, run);
                found = true;
            }
        }
        if (!found)
            for (TfrxGroupHeader *h : run)
                tree.Errors.append(errorLine("enUnconnGroup", h));
    }
    // Each group footer closes the nearest group header above it that has none yet.
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].number != bnGroupFooter)
            continue;
        bool matched = false;
        for (qsizetype k = i - 1; k >= 0; --k) {
            if (list[k].number != bnGroupHeader)
                continue;
            auto *header = static_cast<TfrxGroupHeader *>(list[k].band);
            if (tree.GroupFooters.contains(header))
                continue;
            tree.GroupFooters.insert(header, static_cast<TfrxGroupFooter *>(list[i].band));
            matched = true;
            break;
        }
        if (!matched)
            tree.Errors.append(errorLine("enUnconnGFooter", list[i].band));
    }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Entry &e) { return e.number == bnGroupHeader || e.number == bnGroupFooter; }),
               list.end());

    // Headers and footers directly around their data band. The innermost bands take
    // theirs first and step aside, so a master's footer below its detail's footer still
    // sits directly below the master.
    QList<Entry> work = list;
    QSet<TfrxBand *> used;
    for (qsizetype i = work.size() - 1; i >= 0; --i) {
        if (i >= work.size() || !isDataNumber(work[i].number))
            continue;
        auto *data = static_cast<TfrxDataBand *>(work[i].band);
        if (i + 1 < work.size() && work[i + 1].number == bnFooter) {
            tree.Footers.insert(data, static_cast<TfrxFooter *>(work[i + 1].band));
            used.insert(work[i + 1].band);
            work.removeAt(i + 1);
        }
        work.removeAt(i);
        if (i > 0 && work[i - 1].number == bnHeader) {
            tree.Headers.insert(data, static_cast<TfrxHeader *>(work[i - 1].band));
            used.insert(work[i - 1].band);
            work.removeAt(i - 1);
        }
    }
    QList<Entry> rest;
    for (const Entry &e : list)
        if (!used.contains(e.band))
            rest.append(e);

    // Masters on the page, then the details of each level below their master.
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i].number != bnMasterData)
            continue;
        auto *master = static_cast<TfrxDataBand *>(rest[i].band);
        if (hasRowSource(master))
            tree.SubBands.append(master);
    }
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const int n = rest[i].number;
        if (!isDataNumber(n))
            continue;
        auto *data = static_cast<TfrxDataBand *>(rest[i].band);
        QList<TfrxDataBand *> details;
        for (qsizetype k = i + 1; k < rest.size() && rest[k].number > n; ++k) {
            if (rest[k].number != n + 1)
                continue;
            auto *detail = static_cast<TfrxDataBand *>(rest[k].band);
            if (hasRowSource(detail))
                details.append(detail);
        }
        if (!details.isEmpty())
            tree.Details.insert(data, details);
    }

    // What found no place: headers and footers without their data band, data bands that
    // no master chain reaches.
    QSet<TfrxDataBand *> placed;
    std::function<void(const QList<TfrxDataBand *> &)> place = [&](const QList<TfrxDataBand *> &bands) {
        for (TfrxDataBand *b : bands)
            if (!placed.contains(b)) {
                placed.insert(b);
                place(tree.Details.value(b));
            }
    };
    place(tree.SubBands);
    for (const Entry &e : rest) {
        if (e.number == bnHeader || e.number == bnFooter)
            tree.Errors.append(errorLine("enUnconnHeader", e.band));
        else if (!placed.contains(static_cast<TfrxDataBand *>(e.band)))
            tree.Errors.append(errorLine("enBandPos", e.band));
    }
    return tree;
}

} // namespace tw
