#pragma once

#include <QHash>
#include <QList>
#include <QStringList>

namespace tw {

class TfrxBand;
class TfrxDataBand;
class TfrxFooter;
class TfrxGroupFooter;
class TfrxGroupHeader;
class TfrxHeader;
class TfrxReportPage;

// How the bands of one orientation of a page hang together, read from their kinds and
// their order on the page: a data band's header directly above it and footer directly
// below, its groups (the group headers directly above one another, outermost first) and
// their footers, its detail bands. Nothing on the bands is changed; bands that fit
// nowhere are left out and named in Errors.
struct TfrxBandTree {
    QList<TfrxDataBand *> SubBands; // the page's master bands, in order
    QHash<TfrxDataBand *, QList<TfrxDataBand *>> Details;
    QHash<TfrxDataBand *, TfrxHeader *> Headers;
    QHash<TfrxDataBand *, TfrxFooter *> Footers;
    QHash<TfrxDataBand *, QList<TfrxGroupHeader *>> Groups;
    QHash<TfrxGroupHeader *, TfrxGroupFooter *> GroupFooters;
    // The structural problems, one line each ("Unconnected header/footer Header1").
    QStringList Errors;
};

// The tree of the page's horizontal bands, or of its vertical ones.
TfrxBandTree buildBandTree(const TfrxReportPage *page, bool vertical);

// Whether a data band has rows to show: a dataset, or a row count for its own counter.
bool hasRowSource(const TfrxDataBand *band);

} // namespace tw
