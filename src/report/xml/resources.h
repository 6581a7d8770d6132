#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;

namespace tw {

// The report engine's message table: texts looked up by key, filled from the built-in
// table and optionally overlaid by a language file (*.frc).
class TfrxResources {
public:
    TfrxResources(); // loads the built-in table
    TfrxResources(const TfrxResources &) = delete;
    TfrxResources &operator=(const TfrxResources &) = delete;

    // The text of the key, without a leading '!'; the key itself when it is absent.
    QString Get(const QString &key) const;
    void Add(const QString &key, const QString &text);
    void AddW(const QString &key, const QString &text) { Add(key, text); }
    // One table from XML in memory (UTF-8 bytes, or text).
    void AddXML(const QByteArray &xml);
    void AddXML(const QString &xml) { AddXML(xml.toUtf8()); }
    // Reads the file as a table when it exists; its entries replace earlier ones.
    void LoadFromFile(const QString &fileName);
    void LoadFromStream(QIODevice *stream);
    void Clear();
    bool Contains(const QString &key) const;

    // Code page named by the last table read.
    int CodePage() const { return m_codePage; }
    // The language files (*.frc) of a directory, as capitalised names, sorted.
    void FillLanguages(const QString &directory);
    const QStringList &Languages() const { return m_languages; }

    // Receives every script-engine message (keys beginning with "S") after each table
    // load; the script engine registers here to keep its compile-error texts current.
    using ScriptMessageHandler = std::function<void(const QString &key, const QString &text)>;
    static void SetScriptMessageHandler(ScriptMessageHandler handler);
    static const QStringList &ScriptMessageKeys();

private:
    void loadDocument(QIODevice *stream);
    void publishScriptMessages() const;

    QMap<QString, QPair<QString, QString>> m_items; // folded key -> (key, text)
    int m_codePage = 0;
    QStringList m_languages;
};

// The process-wide table, created on first use.
TfrxResources &frxResources();

} // namespace tw
