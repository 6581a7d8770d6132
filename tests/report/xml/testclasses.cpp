#include "testclasses.h"

#include "report/xml/xmlserializer.h"

namespace tw::test {

const EnumInfo &hAlignEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxHAlign"),
                            {QStringLiteral("haLeft"), QStringLiteral("haRight"), QStringLiteral("haCenter"), QStringLiteral("haBlock")}};
    return e;
}

const EnumInfo &fontStyleEnum()
{
    static const EnumInfo e{QStringLiteral("TFontStyle"),
                            {QStringLiteral("fsBold"), QStringLiteral("fsItalic"), QStringLiteral("fsUnderline"), QStringLiteral("fsStrikeOut")}};
    return e;
}

TW_DEFINE_CLASS(TTestFont, nullptr)
{
    ClassBuilder<TTestFont>(info)
        .string(QStringLiteral("Name"), &TTestFont::getName, &TTestFont::setName)
        .integer(QStringLiteral("Size"), &TTestFont::getSize, &TTestFont::setSize, 10)
        .set(QStringLiteral("Style"), QStringLiteral("TFontStyles"), fontStyleEnum(), &TTestFont::getStyle, &TTestFont::setStyle, 0);
}

TW_DEFINE_CLASS(TTestPicture, nullptr) {}

void TTestPicture::DefineProperties(TfrxFiler &filer)
{
    filer.DefineProperty(
        QStringLiteral("Data"), [this](TfrxComponentReader &r) { data = r.ReadBinary(); },
        [this](TfrxComponentWriter &w) { w.WriteBinary(data); }, !data.isEmpty());
}

TW_DEFINE_CLASS(TTestVariable, nullptr)
{
    ClassBuilder<TTestVariable>(info)
        .string(QStringLiteral("Name"), &TTestVariable::getName, &TTestVariable::setName)
        .variant(QStringLiteral("Value"), &TTestVariable::getValue, &TTestVariable::setValue)
        .reference<Component>(QStringLiteral("DataSet"), Component::staticClassInfo(), &TTestVariable::getDataSet,
                              &TTestVariable::setDataSet);
}

TW_DEFINE_CLASS(TTestComponent, &Component::staticClassInfo()) {}

TTestComponent::TTestComponent(Component *owner, TTestComponent *parent_) : Component(owner), parent(parent_)
{
    if (parent)
        parent->objects.append(this);
}

TTestComponent::~TTestComponent()
{
    if (parent)
        parent->objects.removeOne(this);
    for (TTestComponent *c : std::as_const(objects))
        c->parent = nullptr;
}

TW_DEFINE_CLASS(TTestReport, &TTestComponent::staticClassInfo())
{
    ClassBuilder<TTestReport>(info)
        .factory([](Object *owner, Object *parent) -> Object * {
            return new TTestReport(dynamic_cast<Component *>(owner), dynamic_cast<TTestComponent *>(parent));
        })
        .boolean(QStringLiteral("DotMatrixReport"), &TTestReport::getDotMatrix, &TTestReport::setDotMatrix)
        .stringList(QStringLiteral("ScriptText"), &TTestReport::getScript, &TTestReport::setScript);
}

void TTestReport::DefineProperties(TfrxFiler &filer)
{
    TTestComponent::DefineProperties(filer);
    TfrxXMLSerializer *s = filer.Serializer();
    filer.DefineProperty(
        QStringLiteral("Variables"), [this, s](TfrxComponentReader &r) { s->ReadCollection(r, variables); },
        [this, s](TfrxComponentWriter &w) { s->WriteCollection(w, variables); }, true);
}

TW_DEFINE_CLASS(TTestView, &TTestComponent::staticClassInfo())
{
    using V = TTestView;
    ClassBuilder<V>(info)
        .factory([](Object *owner, Object *parent) -> Object * {
            return new V(dynamic_cast<Component *>(owner), dynamic_cast<TTestComponent *>(parent));
        })
        .floating(QStringLiteral("Left"), &V::getLeft, &V::setLeft)
        .floating(QStringLiteral("Top"), &V::getTop, &V::setTop)
        .floating(QStringLiteral("Width"), &V::getWidth, &V::setWidth)
        .floating(QStringLiteral("Height"), &V::getHeight, &V::setHeight)
        .enumeration(QStringLiteral("HAlign"), hAlignEnum(), [](const V *v) { return v->hAlign; },
                     [](V *v, int a) { v->hAlign = a; }, 0)
        .boolean(QStringLiteral("Visible"), [](const V *v) { return v->visible; }, [](V *v, bool b) { v->visible = b; }, true)
        .boolean(QStringLiteral("ParentFont"), [](const V *v) { return v->parentFont; },
                 [](V *v, bool b) { v->parentFont = b; }, false)
        .integer(QStringLiteral("Tag"), [](const V *v) { return v->tag; }, [](V *v, int t) { v->tag = t; }, 0)
        .integer(QStringLiteral("ReadOnlyTag"), [](const V *v) { return v->tag + 1; }, nullptr)
        .nested(QStringLiteral("Font"), TTestFont::staticClassInfo(), [](const V *v) { return &v->font; })
        .storedIf([](const V *v) { return !v->parentFont; })
        .nested(QStringLiteral("Picture"), TTestPicture::staticClassInfo(), [](const V *v) { return &v->picture; })
        .reference<Component>(QStringLiteral("DataSet"), Component::staticClassInfo(), [](const V *v) { return v->dataSet; },
                              [](V *v, Component *c) { v->dataSet = c; })
        .string(QStringLiteral("Caption"), [](const V *v) { return v->caption; }, [](V *v, const QString &s) { v->caption = s; })
        .variant(QStringLiteral("Value"), [](const V *v) { return v->value; }, [](V *v, const Variant &x) { v->value = x; })
        .character(QStringLiteral("Ch"), [](const V *v) { return v->ch.unicode(); }, [](V *v, QChar c) { v->ch = c; }, 'a')
        .int64(QStringLiteral("Big"), [](const V *v) { return v->big; }, [](V *v, qint64 b) { v->big = b; }, 0)
        .stringList(QStringLiteral("Lines"), [](const V *v) { return v->lines; }, [](V *v, const QString &s) { v->lines = s; })
        .string(QStringLiteral("OnClick"), [](const V *v) { return v->onClick; }, [](V *v, const QString &s) { v->onClick = s; })
        .event(QStringLiteral("OnHostEvent"), [](const V *v) { return v->events; }, [](V *v, const QString &s) { v->events = s; })
        .string(QStringLiteral("Hidden"), [](const V *v) { return v->caption; }, [](V *, const QString &) {})
        .stored(false);
}

TW_DEFINE_CLASS(TTestMemo, &TTestView::staticClassInfo())
{
    ClassBuilder<TTestMemo>(info).factory([](Object *owner, Object *parent) -> Object * {
        return new TTestMemo(dynamic_cast<Component *>(owner), dynamic_cast<TTestComponent *>(parent));
    });
}

TW_DEFINE_CLASS(TTestHost, &Component::staticClassInfo()) {}

void registerTestClasses()
{
    registerClass(&TTestReport::staticClassInfo());
    registerClass(&TTestView::staticClassInfo());
    registerClass(&TTestMemo::staticClassInfo());
}

} // namespace tw::test
