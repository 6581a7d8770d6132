#include "report/model/dialogcontrols.h"

namespace tw {

TW_DEFINE_CLASS(TfrxDialogControl, &TfrxReportComponent::staticClassInfo())
{
    using C = TfrxDialogControl;
    ClassBuilder<C>(info)
        .floating(QStringLiteral("Left"), &C::Left, &C::SetLeft)
        .floating(QStringLiteral("Top"), &C::Top, &C::SetTop)
        .floating(QStringLiteral("Width"), &C::Width, &C::SetWidth)
        .floating(QStringLiteral("Height"), &C::Height, &C::SetHeight)
        .nested(QStringLiteral("Font"), TFont::staticClassInfo(), &C::Font)
        .storedIf([](const C *c) { return !c->ParentFont(); })
        .boolean(QStringLiteral("ParentFont"), &C::ParentFont, &C::SetParentFont, true)
        .set(QStringLiteral("Restrictions"), QStringLiteral("TfrxRestrictions"), frxRestrictionsEnum(), &C::Restrictions,
             &C::SetRestrictions, 0)
        .boolean(QStringLiteral("Visible"), &C::Visible, &C::SetVisible, true);
    // Everything else any of the controls carries, kept as written.
    TfrxKeptAttributes::publish<C>(
        info, enumNames({"Alignment", "AllowAllUp", "AllowGrayed", "Anchors", "AutoSize", "BevelInner", "BevelOuter",
                     "BevelWidth", "BorderStyle", "Cancel", "Caption", "Center", "CharCase", "Checked", "Color",
                     "Columns", "Date", "DateFormat", "Default", "DisplayFormat", "DownKey", "DropDownCount",
                     "EditMask", "Enabled", "Flat", "GroupIndex", "Hint", "ItemIndex", "Kind", "Layout",
                     "ListField", "ListFieldIndex", "KeyField", "DataSetName", "DataSet", "Margin", "MaxLength",
                     "ModalResult", "NumGlyphs", "PasswordChar", "ReadOnly", "ScrollBars", "Shape", "ShowHint",
                     "Sorted", "Spacing", "State", "Stretch", "Style", "TabOrder", "TabStop", "Text",
                     "Transparent", "WantReturns", "WantTabs", "WordWrap", "OnChange", "OnClick", "OnDblClick",
                     "OnDropDown", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                     "OnMouseMove", "OnMouseUp", "OnActivate", "OnClickCheck"}));
    TfrxKeptAttributes::publish<C>(info, enumNames({"Lines", "Items"}), PropKind::StringList);
    ClassBuilder<C>(info)
        .nested(QStringLiteral("Picture"), TfrxPicture::staticClassInfo(), &C::Picture)
        .nested(QStringLiteral("Glyph"), TfrxKeptGraphic::staticClassInfo(), &C::Glyph);
}

TfrxDialogControl::TfrxDialogControl(Component *owner) : TfrxReportComponent(owner) {}

#define TW_DEFINE_DIALOG_CONTROL(Cls)                                                    \
    TW_DEFINE_CLASS(Cls, &TfrxDialogControl::staticClassInfo())                          \
    {                                                                                    \
        ClassBuilder<Cls>(info).factory(frxFactory<Cls>());                              \
    }

TW_DEFINE_DIALOG_CONTROL(TfrxLabelControl)
TW_DEFINE_DIALOG_CONTROL(TfrxEditControl)
TW_DEFINE_DIALOG_CONTROL(TfrxMemoControl)
TW_DEFINE_DIALOG_CONTROL(TfrxButtonControl)
TW_DEFINE_DIALOG_CONTROL(TfrxCheckBoxControl)
TW_DEFINE_DIALOG_CONTROL(TfrxRadioButtonControl)
TW_DEFINE_DIALOG_CONTROL(TfrxListBoxControl)
TW_DEFINE_DIALOG_CONTROL(TfrxComboBoxControl)
TW_DEFINE_DIALOG_CONTROL(TfrxDateEditControl)
TW_DEFINE_DIALOG_CONTROL(TfrxImageControl)
TW_DEFINE_DIALOG_CONTROL(TfrxBevelControl)
TW_DEFINE_DIALOG_CONTROL(TfrxPanelControl)
TW_DEFINE_DIALOG_CONTROL(TfrxGroupBoxControl)
TW_DEFINE_DIALOG_CONTROL(TfrxBitBtnControl)
TW_DEFINE_DIALOG_CONTROL(TfrxSpeedButtonControl)
TW_DEFINE_DIALOG_CONTROL(TfrxMaskEditControl)
TW_DEFINE_DIALOG_CONTROL(TfrxCheckListBoxControl)
TW_DEFINE_DIALOG_CONTROL(TfrxDBLookupComboBox)

QList<const ClassInfo *> dialogControlClasses()
{
    return {&TfrxLabelControl::staticClassInfo(),     &TfrxEditControl::staticClassInfo(),
            &TfrxMemoControl::staticClassInfo(),      &TfrxButtonControl::staticClassInfo(),
            &TfrxCheckBoxControl::staticClassInfo(),  &TfrxRadioButtonControl::staticClassInfo(),
            &TfrxListBoxControl::staticClassInfo(),   &TfrxComboBoxControl::staticClassInfo(),
            &TfrxDateEditControl::staticClassInfo(),  &TfrxImageControl::staticClassInfo(),
            &TfrxBevelControl::staticClassInfo(),     &TfrxPanelControl::staticClassInfo(),
            &TfrxGroupBoxControl::staticClassInfo(),  &TfrxBitBtnControl::staticClassInfo(),
            &TfrxSpeedButtonControl::staticClassInfo(), &TfrxMaskEditControl::staticClassInfo(),
            &TfrxCheckListBoxControl::staticClassInfo(), &TfrxDBLookupComboBox::staticClassInfo()};
}

} // namespace tw
