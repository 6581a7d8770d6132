#include "report/model/viewsextra.h"

namespace tw {

TW_DEFINE_CLASS(TfrxKeptGraphic, nullptr)
{
    info.name = QStringLiteral("TBitmap");
}

void TfrxKeptGraphic::DefineProperties(TfrxFiler &filer)
{
    filer.DefineProperty(
        QStringLiteral("Data"), [this](TfrxComponentReader &r) { Data = r.ReadBinary(); },
        [this](TfrxComponentWriter &w) { w.WriteBinary(Data); }, !Data.isEmpty());
}

TW_DEFINE_CLASS(TfrxCheckBoxView, &TfrxView::staticClassInfo())
{
    using C = TfrxCheckBoxView;
    // Its prepared copies are written in full.
    ClassBuilder<C>(info).factory(frxFactory<C>()).style(csPreviewVisible | csDefaultDiff);
    publishViewProperties(info, {QStringLiteral("BrushStyle")});
    TfrxKeptAttributes::publish<C>(info, enumNames({"CheckColor", "Checked", "CheckStyle"}));
    publishViewProperties(info, enumNames({"Color", "Cursor", "DataField", "DataSet", "DataSetName"}));
    TfrxKeptAttributes::publish<C>(info, {QStringLiteral("Expression")});
    publishViewProperties(info, enumNames({"Frame", "TagStr"}));
    TfrxKeptAttributes::publish<C>(info, {QStringLiteral("UncheckStyle")});
    publishViewProperties(info, {QStringLiteral("URL")});
}

TfrxCheckBoxView::TfrxCheckBoxView(Component *owner) : TfrxView(owner)
{
    SetfrComponentStyle(frComponentStyle() | csDefaultDiff);
}

TW_DEFINE_CLASS(TfrxDMPMemoView, &TfrxCustomMemoView::staticClassInfo())
{
    using M = TfrxDMPMemoView;
    ClassBuilder<M>(info).factory(frxFactory<M>()).style(csPreviewVisible);
    publishMemoProperties(info, enumNames({"AutoWidth", "AllowExpressions", "DataField", "DataSet", "DataSetName",
                                       "DisplayFormat", "ExpressionDelimiters", "FlowTo"}));
    TfrxKeptAttributes::publish<M>(info, {QStringLiteral("FontStyle")});
    publishMemoProperties(info, enumNames({"Frame", "GapX", "GapY", "HAlign", "HideZeros", "Highlight", "Memo",
                                       "ParentFont", "SuppressRepeated"}));
    TfrxKeptAttributes::publish<M>(info, {QStringLiteral("TruncOutboundText")});
    publishMemoProperties(info, enumNames({"VAlign", "WordWrap"}));
}

TfrxDMPMemoView::TfrxDMPMemoView(Component *owner) : TfrxCustomMemoView(owner) {}

TW_DEFINE_CLASS(TfrxDMPLineView, &TfrxCustomLineView::staticClassInfo())
{
    using L = TfrxDMPLineView;
    ClassBuilder<L>(info).factory(frxFactory<L>()).style(csPreviewVisible);
    TfrxKeptAttributes::publish<L>(info, {QStringLiteral("FontStyle")});
}

TfrxDMPLineView::TfrxDMPLineView(Component *owner) : TfrxCustomLineView(owner) {}

TW_DEFINE_CLASS(TfrxDMPCommand, &TfrxView::staticClassInfo())
{
    using C = TfrxDMPCommand;
    ClassBuilder<C>(info).factory(frxFactory<C>()).style(csPreviewVisible);
    TfrxKeptAttributes::publish<C>(info, {QStringLiteral("Command")});
}

TfrxDMPCommand::TfrxDMPCommand(Component *owner) : TfrxView(owner) {}

} // namespace tw
