#include "report/xml/resources.h"

#include "base/codepage.h"
#include "report/xml/xmldocument.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

namespace tw {

namespace {

// Texts needing a character reference keep their ampersand escaped: they are decoded twice.
const char builtinTable[] = R"xml(<?xml version="1.1" encoding="utf-8"?>
<Resources CodePage="1252">
<StrRes Name="xrCantFindClass" Text="Cannot find class"/>
<StrRes Name="clErrors" Text="The following error(s) have occured:"/>
<StrRes Name="clDecompressError" Text="Stream decompress error"/>
<StrRes Name="mbError" Text="Error"/>
<StrRes Name="mbConfirm" Text="Confirm"/>
<StrRes Name="mbInfo" Text="Information"/>
<StrRes Name="prDupl" Text="Duplicate name"/>
<StrRes Name="prInvProp" Text="Invalid property value"/>
<StrRes Name="prDefault" Text="Default"/>
<StrRes Name="prRunning" Text="Preparing page %d"/>
<StrRes Name="prRunningFirst" Text="First pass: page %d"/>
<StrRes Name="prPrinting" Text="Printing page %d"/>
<StrRes Name="prExporting" Text="Exporting page %d"/>
<StrRes Name="clScrError" Text="Script error at %s: %s"/>
<StrRes Name="clExprError" Text="Error in expression"/>
<StrRes Name="clUnknownVar" Text="Unknown variable or datafield:"/>
<StrRes Name="clDSNotIncl" Text="(dataset is not included in Report.DataSets)"/>
<StrRes Name="clDSNotExist" Text="Dataset &#38;#34;%s&#38;#34; does not exist"/>
<StrRes Name="clNoPrinters" Text="No printers installed on your system"/>
<StrRes Name="dbNotConn" Text="DataSet %s is not connected to data"/>
<StrRes Name="dbFldNotFound" Text="Field not found:"/>
<StrRes Name="enUnconnHeader" Text="Unconnected header/footer"/>
<StrRes Name="enUnconnGroup" Text="No data band for the group"/>
<StrRes Name="enUnconnGFooter" Text="No group header for"/>
<StrRes Name="enBandPos" Text="Incorrect band position:"/>
<StrRes Name="SLangNotFound" Text="Language '%s' not found"/>
<StrRes Name="SInvalidLanguage" Text="Invalid language definition"/>
<StrRes Name="SIdRedeclared" Text="Identifier redeclared: "/>
<StrRes Name="SUnknownType" Text="Unknown type: "/>
<StrRes Name="SIncompatibleTypes" Text="Incompatible types"/>
<StrRes Name="SIdUndeclared" Text="Undeclared identifier: "/>
<StrRes Name="SClassRequired" Text="Class type required"/>
<StrRes Name="SIndexRequired" Text="Index required"/>
<StrRes Name="SStringError" Text="Strings do not have properties or methods"/>
<StrRes Name="SClassError" Text="Class %s does not have a default property"/>
<StrRes Name="SArrayRequired" Text="Array type required"/>
<StrRes Name="SVarRequired" Text="Variable required"/>
<StrRes Name="SNotEnoughParams" Text="Not enough actual parameters"/>
<StrRes Name="STooManyParams" Text="Too many actual parameters"/>
<StrRes Name="SLeftCantAssigned" Text="Left side cannot be assigned to"/>
<StrRes Name="SForError" Text="For loop variable must be numeric variable"/>
<StrRes Name="SEventError" Text="Event handler must be a procedure"/>
<StrRes Name="207" Text="!Other"/>
<StrRes Name="obReport" Text="Report object"/>
<StrRes Name="obRepPage" Text="Report page"/>
<StrRes Name="obText" Text="Text object"/>
<StrRes Name="obLine" Text="Line object"/>
<StrRes Name="obPicture" Text="Picture object"/>
<StrRes Name="obShape" Text="Shape object"/>
<StrRes Name="obSubRep" Text="Subreport object"/>
<StrRes Name="obBand" Text="Band object"/>
<StrRes Name="obDataBand" Text="Data band"/>
<StrRes Name="obSysText" Text="System text"/>
</Resources>
)xml";

TfrxResources::ScriptMessageHandler &scriptHandler()
{
    static TfrxResources::ScriptMessageHandler handler;
    return handler;
}

QString fold(const QString &key)
{
    return key.toUpper();
}

} // namespace

TfrxResources::TfrxResources()
{
    AddXML(QByteArray(builtinTable));
}

const QStringList &TfrxResources::ScriptMessageKeys()
{
    static const QStringList keys = {
        QStringLiteral("SLangNotFound"), QStringLiteral("SInvalidLanguage"), QStringLiteral("SIdRedeclared"),
        QStringLiteral("SUnknownType"), QStringLiteral("SIncompatibleTypes"), QStringLiteral("SIdUndeclared"),
        QStringLiteral("SClassRequired"), QStringLiteral("SIndexRequired"), QStringLiteral("SStringError"),
        QStringLiteral("SClassError"), QStringLiteral("SArrayRequired"), QStringLiteral("SVarRequired"),
        QStringLiteral("SNotEnoughParams"), QStringLiteral("STooManyParams"), QStringLiteral("SLeftCantAssigned"),
        QStringLiteral("SForError"), QStringLiteral("SEventError"),
    };
    return keys;
}

void TfrxResources::SetScriptMessageHandler(ScriptMessageHandler handler)
{
    scriptHandler() = std::move(handler);
}

QString TfrxResources::Get(const QString &key) const
{
    const auto it = m_items.constFind(fold(key));
    if (it == m_items.constEnd())
        return key;
    const QString &text = it->second;
    if (text.startsWith(QLatin1Char('!')))
        return text.mid(1);
    return text;
}

bool TfrxResources::Contains(const QString &key) const
{
    return m_items.contains(fold(key));
}

void TfrxResources::Add(const QString &key, const QString &text)
{
    m_items.insert(fold(key), qMakePair(key, text));
}

void TfrxResources::Clear()
{
    m_items.clear();
}

void TfrxResources::AddXML(const QByteArray &xml)
{
    QBuffer buf;
    buf.setData(xml);
    buf.open(QIODevice::ReadOnly);
    loadDocument(&buf);
}

void TfrxResources::LoadFromFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    loadDocument(&file);
}

void TfrxResources::LoadFromStream(QIODevice *stream)
{
    loadDocument(stream);
}

void TfrxResources::loadDocument(QIODevice *stream)
{
    TfrxXMLDocument doc;
    doc.LoadFromStream(stream);
    const TfrxXMLItem *root = doc.Root();
    bool ok = false;
    const int cp = root->GetProp(QStringLiteral("CodePage")).toInt(&ok);
    m_codePage = ok ? cp : 0;
    for (int i = 0; i < root->Count(); ++i) {
        const TfrxXMLItem *it = root->Items(i);
        if (it->Name().compare(QLatin1String("StrRes"), Qt::CaseInsensitive) != 0)
            continue;
        QString text = DecodeXMLValue(it->GetProp(QStringLiteral("Text")));
        if (doc.OldVersion())
            text = QString::fromUtf8(codepage::toAnsi(text));
        Add(it->GetProp(QStringLiteral("Name")), text);
    }
    publishScriptMessages();
}

void TfrxResources::publishScriptMessages() const
{
    const ScriptMessageHandler &handler = scriptHandler();
    if (!handler)
        return;
    for (const QString &key : ScriptMessageKeys())
        handler(key, Get(key));
}

void TfrxResources::FillLanguages(const QString &directory)
{
    m_languages.clear();
    const QStringList files = QDir(directory).entryList({QStringLiteral("*.frc")}, QDir::Files);
    for (const QString &f : files) {
        QString name = f.left(f.size() - 4).toLower();
        if (!name.isEmpty())
            name[0] = name[0].toUpper();
        m_languages.append(name);
    }
    m_languages.sort();
}

TfrxResources &frxResources()
{
    static TfrxResources instance;
    return instance;
}

} // namespace tw
