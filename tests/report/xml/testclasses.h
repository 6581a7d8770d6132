#pragma once

// Small component classes covering every property kind, for the serializer tests.
#include "base/metadata.h"
#include "report/xml/component.h"

#include <QList>
#include <memory>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace tw::test {

const EnumInfo &hAlignEnum();   // haLeft haRight haCenter haBlock
const EnumInfo &fontStyleEnum(); // fsBold fsItalic fsUnderline fsStrikeOut

class TTestFont : public Object {
    TW_OBJECT(TTestFont)
    QString name = QStringLiteral("Arial");
    int size = 10;
    int style = 0;
    const QString &getName() const { return name; }
    void setName(const QString &v) { name = v; }
    int getSize() const { return size; }
    void setSize(int v) { size = v; }
    int getStyle() const { return style; }
    void setStyle(int v) { style = v; }
};

// A nested object with data outside its published properties.
class TTestPicture : public Object, public TfrxDefinedProperties {
    TW_OBJECT(TTestPicture)
    QByteArray data;
    void DefineProperties(TfrxFiler &filer) override;
};

class TTestVariable : public Object {
    TW_OBJECT(TTestVariable)
    QString name;
    Variant value;
    Component *dataSet = nullptr;
    const QString &getName() const { return name; }
    void setName(const QString &v) { name = v; }
    Variant getValue() const { return value; }
    void setValue(const Variant &v) { value = v; }
    Component *getDataSet() const { return dataSet; }
    void setDataSet(Component *v) { dataSet = v; }
};

class TTestVariables : public TfrxCollection {
public:
    std::vector<std::unique_ptr<TTestVariable>> items;
    int Count() const override { return int(items.size()); }
    Object *Item(int i) const override { return items[size_t(i)].get(); }
    Object *AddItem() override
    {
        items.push_back(std::make_unique<TTestVariable>());
        return items.back().get();
    }
    void ClearItems() override { items.clear(); }
};

// Base of the tree: a component with a parent and child objects.
class TTestComponent : public Component {
    TW_OBJECT(TTestComponent)
    explicit TTestComponent(Component *owner = nullptr, TTestComponent *parent = nullptr);
    ~TTestComponent() override;
    TTestComponent *parent = nullptr;
    QList<TTestComponent *> objects;
    int loadedCalls = 0;
    bool loadingSeenByLoaded = true;
    QList<Component *> serializedChildren() const override
    {
        return QList<Component *>(objects.begin(), objects.end());
    }
    void Loaded() override
    {
        ++loadedCalls;
        loadingSeenByLoaded = IsLoading();
    }
};

class TTestReport : public TTestComponent {
    TW_OBJECT(TTestReport)
    using TTestComponent::TTestComponent;
    QString script;
    bool dotMatrix = false;
    TTestVariables variables;
    bool isReport() const override { return true; }
    const QString &getScript() const { return script; }
    void setScript(const QString &v) { script = v; }
    bool getDotMatrix() const { return dotMatrix; }
    void setDotMatrix(bool v) { dotMatrix = v; }
    void DefineProperties(TfrxFiler &filer) override;
};

class TTestView : public TTestComponent {
    TW_OBJECT(TTestView)
    using TTestComponent::TTestComponent;
    double left = 0, top = 0, width = 0, height = 0;
    int hAlign = 0;
    bool visible = true;
    int tag = 0;
    bool parentFont = false;
    TTestFont font;
    TTestPicture picture;
    Component *dataSet = nullptr;
    QString caption;
    Variant value;
    QChar ch = QLatin1Char('a');
    qint64 big = 0;
    QString lines;
    QString onClick;
    QString events; // a host event: never written

    double getLeft() const { return left; }
    void setLeft(double v) { left = v; }
    double getTop() const { return top; }
    void setTop(double v) { top = v; }
    double getWidth() const { return width; }
    void setWidth(double v) { width = v; }
    double getHeight() const { return height; }
    void setHeight(double v) { height = v; }
};

class TTestMemo : public TTestView {
    TW_OBJECT(TTestMemo)
    using TTestView::TTestView;
    QString text;
    bool hasMemoText() const override { return true; }
    QString memoText() const override { return text; }
    void setMemoText(const QString &t) override { text = t; }
};

// A host container (the form owning the report and the parameter dataset).
class TTestHost : public Component {
    TW_OBJECT(TTestHost)
    using Component::Component;
    ContainerKind containerKind() const override { return ContainerKind::Host; }
};

void registerTestClasses();

} // namespace tw::test
