#pragma once

#include "report/engine/outline.h"
#include "report/engine/picturecache.h"
#include "report/engine/previewdictionary.h"
#include "report/model/component.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace tw {

class TfrxBand;
class TfrxCustomEngine;
class TfrxPage;
class TfrxPictureView;
class TfrxReport;
class TfrxXMLSerializer;

enum TfrxAddPageAction { apWriteOver, apAdd };
enum class TfrxPreviewProgress { Start, Page, Stop };

// The store of a prepared report, as the engine fills it and callers read it.
class TfrxCustomPreviewPages {
public:
    explicit TfrxCustomPreviewPages(TfrxReport *report);
    virtual ~TfrxCustomPreviewPages();
    TfrxCustomPreviewPages(const TfrxCustomPreviewPages &) = delete;
    TfrxCustomPreviewPages &operator=(const TfrxCustomPreviewPages &) = delete;

    TfrxReport *Report() const { return m_report; }
    // The engine whose pass and page totals the store reads; the report's when not set.
    TfrxCustomEngine *Engine() const;
    void SetEngine(TfrxCustomEngine *engine) { m_engine = engine; }
    TfrxOutline *Outline() const { return m_outline.get(); }

    int CurPage = -1;
    int FirstPage = 0;
    TfrxAddPageAction AddPageAction = apWriteOver;
    // Progress of a run: start, each new page (numbered from 1), stop.
    std::function<void(TfrxPreviewProgress, int page)> OnProgress;

    virtual int Count() const = 0;
    // The page rebuilt as objects; owned by the page cache (valid until the cache drops
    // it or the store is cleared). nullptr for an index out of range.
    virtual TfrxPage *GetPage(int index) = 0;
    virtual QSize GetPageSize(int index) = 0;
    virtual void Clear() = 0;
    virtual void Initialize() = 0;
    virtual void AddObject(TfrxComponent *obj) = 0;
    virtual void AddPage(TfrxPage *page) = 0;
    virtual void AddSourcePage(TfrxPage *page) = 0;
    virtual void AddToSourcePage(TfrxComponent *obj) = 0;
    virtual void BeginPass() = 0;
    virtual void ClearFirstPassPages() = 0;
    virtual void CutObjects(int position) = 0;
    virtual void Finish() = 0;
    virtual void IncLogicalPageNumber() = 0;
    virtual void ResetLogicalPageNumber() = 0;
    virtual void PasteObjects(double x, double y) = 0;
    virtual void ShiftAnchors(int from, int newTop) = 0;
    virtual void AddPicture(TfrxPictureView *picture) = 0;
    virtual bool BandExists(TfrxBand *band) = 0;
    virtual int GetCurPosition() = 0;
    virtual int GetAnchorCurPosition() = 0;
    virtual double GetLastY(double columnPosition = 0) = 0;
    virtual int GetLogicalPageNo() = 0;
    virtual int GetLogicalTotalPages() = 0;
    virtual void AddEmptyPage(int index) = 0;
    virtual void DeletePage(int index) = 0;
    virtual void ModifyPage(int index, TfrxPage *page) = 0;
    // A stream given with partial loading must be heap-allocated; the store takes it over.
    virtual void LoadFromStream(QIODevice *stream, bool allowPartialLoading = false) = 0;
    virtual void SaveToStream(QIODevice *stream) = 0;
    virtual bool LoadFromFile(const QString &fileName, bool exceptionIfNotFound = false) = 0;
    virtual void SaveToFile(const QString &fileName) = 0;

protected:
    void progress(TfrxPreviewProgress kind, int page = 0)
    {
        if (OnProgress)
            OnProgress(kind, page);
    }
    std::unique_ptr<TfrxOutline> m_outline;

private:
    TfrxReport *m_report;
    TfrxCustomEngine *m_engine = nullptr;
};

// Prepared pages kept as XML: every prepared object is an element named by the alias of
// its source object, carrying only what differs from that object.
class TfrxPreviewPages : public TfrxCustomPreviewPages {
public:
    explicit TfrxPreviewPages(TfrxReport *report);
    ~TfrxPreviewPages() override;

    int Count() const override;
    TfrxPage *GetPage(int index) override;
    QSize GetPageSize(int index) override;
    void Clear() override;
    void Initialize() override;
    void AddObject(TfrxComponent *obj) override;
    void AddPage(TfrxPage *page) override;
    void AddSourcePage(TfrxPage *page) override;
    void AddToSourcePage(TfrxComponent *obj) override;
    void BeginPass() override;
    void ClearFirstPassPages() override;
    void CutObjects(int position) override;
    void Finish() override;
    void IncLogicalPageNumber() override;
    void ResetLogicalPageNumber() override;
    void PasteObjects(double x, double y) override;
    void ShiftAnchors(int from, int newTop) override;
    void AddPicture(TfrxPictureView *picture) override;
    bool BandExists(TfrxBand *band) override;
    int GetCurPosition() override;
    int GetAnchorCurPosition() override;
    double GetLastY(double columnPosition = 0) override;
    int GetLogicalPageNo() override;
    int GetLogicalTotalPages() override;
    void AddEmptyPage(int index) override;
    void DeletePage(int index) override;
    void ModifyPage(int index, TfrxPage *page) override;
    void LoadFromStream(QIODevice *stream, bool allowPartialLoading = false) override;
    void SaveToStream(QIODevice *stream) override;
    bool LoadFromFile(const QString &fileName, bool exceptionIfNotFound = false) override;
    // Written next to the target and renamed over it, so a failed save leaves the old file.
    void SaveToFile(const QString &fileName) override;

    // Runs whose report is put back after each run keep their source page copies for
    // the next run: a design page in the same state as last time takes its copy again,
    // written the same way. Off drops what is kept.
    void SetKeepSourcePages(bool keep);

    // An endless page ended: its source page takes the size it grew to (pixels).
    void UpdatePageDimensions(TfrxPage *page, double width, double height);
    // Appends an anchor at the engine's current Y on the current page.
    void AddAnchor(const QString &text);
    // The page of the first anchor with that text, or -1.
    int GetAnchorPage(const QString &text) const;

    // Source pages and the links between design objects and their copies.
    int SourcePageCount() const { return int(m_sourcePages.size()); }
    TfrxPage *SourcePage(int index) const;
    // The copy a design (or run-time) object was linked to, or nullptr.
    TfrxComponent *SourceObject(const TfrxComponent *obj) const;
    // The alias of a design object or of a copy; empty when it has none.
    QString AliasName(const TfrxComponent *obj) const;
    // The design object a copy was made from, until Finish cuts the links.
    TfrxComponent *OriginalComponent(const TfrxComponent *copy) const;
    // A copy's serialized element text ("TfrxMemoView Left=..."), or its class name when
    // the class writes its differences in full.
    QString SourceBaseName(const TfrxComponent *copy) const;

    TfrxXMLDocument &XMLDocument() { return m_doc; }
    const TfrxDictionary &Dictionary() const { return m_dictionary; }
    TfrxPictureCache &PictureCache() { return m_pictureCache; }
    // Problems met while rebuilding or loading pages (unknown classes, bad values).
    const QStringList &Errors() const { return m_errors; }
    // Memory estimate of the pages added since the last unload.
    qint64 XMLSize() const { return m_xmlSize; }
    double LastY() const { return m_lastY; }
    void SetLastY(double v) { m_lastY = v; }

private:
    struct CopyInfo {
        QString alias;
        // Written when first asked for: most runs only save their pages and never need it.
        mutable std::optional<QString> baseName;
        TfrxRef<TfrxComponent> original;
    };
    struct DesignLink {
        std::shared_ptr<TfrxComponent *> cell; // tells a live object from a reused address
        TfrxComponent *copy;
    };
    struct CachedPage {
        int index;
        std::unique_ptr<TfrxPage> page;
    };

    TfrxXMLItem *root() const { return m_doc.Root(); }
    TfrxXMLItem *pagesItem() const; // nullptr until the first page operation
    TfrxXMLItem *pageItem(int index);
    TfrxXMLItem *curPageItem();
    TfrxXMLItem *logicalItem();
    bool firstPassOfTwo() const;
    bool finalPassOfTwo() const;
    void applyMemoryBound();
    void link(TfrxComponent *design, TfrxComponent *copy, const QString &alias);
    void addCopy(TfrxComponent *design, TfrxComponent *copy, int pageIndex);
    void writeObject(TfrxComponent *c, TfrxXMLItem *parent, bool replacedPage);
    TfrxPage *buildPage(TfrxXMLItem *item);
    void buildObjects(TfrxXMLItem *item, TfrxComponent *parent, TfrxXMLSerializer &s);
    void clearPageCache();
    void dropCachedPage(int index, const TfrxPage *keep = nullptr);
    int sourcePageIndexOf(const TfrxPage *design) const;
    void addError(const QString &message);

    // A source page copy kept between runs, with what it was made from.
    struct KeptSource {
        QVector<Variant> print;              // the design page's state, as copying reads it
        std::unique_ptr<TfrxPage> copy;      // between runs; in m_sourcePages during one
        QList<TfrxComponent *> copies;       // the copy of each design object, in walking order
        QList<TfrxResolvedReference> refs;   // the references the copying set
        std::unique_ptr<TfrxXMLItem> written; // the page as saved, once saved
    };
    bool reuseSourcePage(TfrxPage *page, KeptSource &kept);

    TfrxXMLDocument m_doc;
    std::vector<std::unique_ptr<TfrxPage>> m_sourcePages;
    std::vector<bool> m_sourceKept; // made this run from a kept or keepable copy, unchanged since
    std::vector<KeptSource> m_keptSources;
    bool m_keepSources = false;
    std::vector<TfrxRef<TfrxComponent>> m_sourcePageDesign;
    QHash<const TfrxComponent *, DesignLink> m_designLinks;
    QHash<const TfrxComponent *, CopyInfo> m_copies;
    TfrxDictionary m_dictionary;
    TfrxPictureCache m_pictureCache;
    std::vector<CachedPage> m_pageCache;
    QStringList m_errors;
    int m_firstPageIndex = -1;
    int m_firstObjectIndex = 0;
    int m_firstOutlineIndex = 0;
    int m_logicalPageN = 0;
    qint64 m_xmlSize = 0;
    double m_lastY = 0;
};

} // namespace tw
