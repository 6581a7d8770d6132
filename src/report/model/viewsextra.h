#pragma once

#include "report/model/memo.h"
#include "report/model/views.h"

#include <QHash>
#include <QString>

namespace tw {

// Attribute texts an object keeps only to write them back: classes this system loads but
// never prints publish such properties as text, so a template keeps them unchanged.
class TfrxKeptAttributes {
public:
    QString keptValue(const QString &name) const { return m_kept.value(name); }
    void setKeptValue(const QString &name, const QString &value)
    {
        if (value.isEmpty())
            m_kept.remove(name);
        else
            m_kept.insert(name, value);
    }

    // Publishes kept text properties on a class of T (T derives from TfrxKeptAttributes).
    template <class T>
    static void publish(ClassInfo &info, const QStringList &names, PropKind kind = PropKind::String)
    {
        ClassBuilder<T> b(info);
        for (const QString &n : names) {
            auto get = [n](const T *t) { return t->keptValue(n); };
            auto set = [n](T *t, const QString &v) { t->setKeptValue(n, v); };
            // A list the template did not carry is not written either.
            if (kind == PropKind::StringList)
                b.stringList(n, get, set).storedIf([n](const T *t) { return !t->keptValue(n).isEmpty(); });
            else
                b.string(n, get, set);
        }
    }

private:
    QHash<QString, QString> m_kept;
};

// A graphic kept only to be written back: the bytes of its Data entry as read.
class TfrxKeptGraphic : public Object, public TfrxDefinedProperties {
    TW_OBJECT(TfrxKeptGraphic)
    QByteArray Data;
    void DefineProperties(TfrxFiler &filer) override;
};

// A check box drawn from an expression or a field.
class TfrxCheckBoxView : public TfrxView, public TfrxKeptAttributes {
    TW_OBJECT(TfrxCheckBoxView)
    explicit TfrxCheckBoxView(Component *owner = nullptr);
};

// Dot-matrix views: loaded and kept, never printed by this system.
class TfrxDMPMemoView : public TfrxCustomMemoView, public TfrxKeptAttributes {
    TW_OBJECT(TfrxDMPMemoView)
    explicit TfrxDMPMemoView(Component *owner = nullptr);
};

class TfrxDMPLineView : public TfrxCustomLineView, public TfrxKeptAttributes {
    TW_OBJECT(TfrxDMPLineView)
    explicit TfrxDMPLineView(Component *owner = nullptr);
};

class TfrxDMPCommand : public TfrxView, public TfrxKeptAttributes {
    TW_OBJECT(TfrxDMPCommand)
    explicit TfrxDMPCommand(Component *owner = nullptr);
};

} // namespace tw
