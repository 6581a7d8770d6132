#pragma once
// Running small templates through the band engine: row tables the templates read by name,
// and the prepared output as readable lines.
#include "base/error.h"
#include "base/formatsettings.h"
#include "report/engine/datasets.h"
#include "report/engine/previewpages.h"
#include "report/model/bands.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"

#include <QBuffer>
#include <QStringList>
#include <functional>
#include <memory>

namespace tw::test {

// Rows of named values; the row list is read again on every First, so a detail table can
// follow its master. Like a database cursor it stays on the last row at the end.
class RowTable : public TfrxDataSet {
    TW_OBJECT(RowTable)
    using TfrxDataSet::TfrxDataSet;
    using Row = QList<Variant>;
    QStringList Columns;
    QList<Row> Rows;
    std::function<QList<Row>()> RowSource;

    void First() override
    {
        if (RowSource)
            Rows = RowSource();
        m_index = 0;
        m_eof = Rows.isEmpty();
    }
    void Next() override
    {
        if (m_index + 1 < Rows.size())
            ++m_index;
        else
            m_eof = true;
    }
    void Prior() override
    {
        if (m_index == 0)
            throw Error(QStringLiteral("no prior row"));
        --m_index;
        m_eof = false;
    }
    bool Eof() override { return m_eof; }
    Variant GetValue(const QString &field) override
    {
        const qsizetype c = Columns.indexOf(field);
        if (c < 0 || m_index < 0 || m_index >= Rows.size())
            return Variant::null();
        return Rows[m_index].value(c);
    }
    TfrxFieldType GetFieldType(const QString &field) override
    {
        const Variant v = GetValue(field);
        return v.isString() ? fftString : fftNumeric;
    }
    void GetFieldList(QStringList &list) override { list = Columns; }
    int FieldsCount() override { return int(Columns.size()); }

private:
    qsizetype m_index = 0;
    bool m_eof = true;
};

// A host like the program's window: it owns the tables and the report, so a template's
// DataSet references resolve by component name.
class EngineHost {
public:
    EngineHost()
    {
        saved = FormatSettings::current();
        FormatSettings::setCurrent(FormatSettings::usEnglish());
        report = new TfrxReport(&host);
        report->SetName(QStringLiteral("frxReport1"));
        report->EngineOptions()->NewSilentMode = simReThrow;
    }
    ~EngineHost() { FormatSettings::setCurrent(saved); }

    RowTable *table(const QString &name, const QStringList &columns, const QList<RowTable::Row> &rows = {})
    {
        auto *t = new RowTable(&host);
        t->SetName(name);
        t->Columns = columns;
        t->Rows = rows;
        return t;
    }

    // Loads the template text (the report element and its children).
    void load(const QString &xml)
    {
        QByteArray bytes = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + xml.toUtf8();
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        report->LoadFromStream(&in);
        report->EngineOptions()->NewSilentMode = simReThrow;
    }

    // Prepares; the raised text, or empty on success.
    QString prepare()
    {
        try {
            report->PrepareReport(true);
        } catch (const Error &e) {
            return e.message();
        }
        return QString();
    }

    // One line per printed band ("page 1: MasterData1 [texts]"), memo texts trimmed and
    // joined by "|"; the prepared pages rebuilt from the store.
    QStringList output()
    {
        QStringList lines;
        TfrxCustomPreviewPages *pages = report->PreviewPages();
        for (int i = 0; i < pages->Count(); ++i) {
            TfrxPage *page = pages->GetPage(i);
            if (!page)
                continue;
            for (TfrxComponent *c : page->Objects()) {
                QStringList texts;
                for (TfrxComponent *o : c->Objects())
                    if (auto *m = dynamic_cast<TfrxCustomMemoView *>(o))
                        texts << m->Text().trimmed();
                lines << QStringLiteral("%1: %2 %3").arg(i + 1).arg(c->Name(), texts.join(QLatin1Char('|')));
            }
        }
        return lines;
    }

    QByteArray prepared()
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        report->PreviewPages()->SaveToStream(&out);
        return out.data();
    }

    ::tw::Component host;
    TfrxReport *report = nullptr;
    FormatSettings saved;
};

// XML attribute text: quotes, angle brackets, ampersands and line breaks escaped.
inline QString attr(const QString &text)
{
    QString out;
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("&#34;"); break;
        case '<': out += QStringLiteral("&#60;"); break;
        case '>': out += QStringLiteral("&#62;"); break;
        case '&': out += QStringLiteral("&#38;"); break;
        case '\r': out += QStringLiteral("&#13;"); break;
        case '\n': out += QStringLiteral("&#10;"); break;
        default: out += c;
        }
    }
    return out;
}

// Template pieces: a memo element and a band element holding children.
inline QString memo(const QString &name, const QString &text, double top = 0, const QString &extra = QString())
{
    return QStringLiteral("<TfrxMemoView Name=\"%1\" Left=\"0\" Top=\"%2\" Width=\"300\" Height=\"18\" Text=\"%3\" %4/>")
        .arg(name)
        .arg(top)
        .arg(attr(text), extra);
}

inline QString band(const QString &cls, const QString &name, double top, const QString &attrs,
                    const QString &children = {}, double height = 20)
{
    return QStringLiteral("<%1 Name=\"%2\" Left=\"0\" Top=\"%3\" Width=\"700\" Height=\"%4\" %5>%6</%1>")
        .arg(cls, name)
        .arg(top)
        .arg(height)
        .arg(attrs, children);
}

// Script text with the template's CR LF line ends.
inline QString scriptText(const QString &body)
{
    return QString(body).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace tw::test
