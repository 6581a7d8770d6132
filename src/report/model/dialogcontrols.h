#pragma once

#include "report/model/component.h"
#include "report/model/picture.h"
#include "report/model/viewsextra.h"

namespace tw {

// Base of the controls placed on dialog pages. This system never shows dialogs: the
// controls load and keep their attributes so that templates holding them round-trip.
class TfrxDialogControl : public TfrxReportComponent, public TfrxKeptAttributes {
    TW_OBJECT(TfrxDialogControl)
    explicit TfrxDialogControl(Component *owner = nullptr);

    // The picture of an image control and the glyph of a button.
    TfrxPicture *Picture() const { return const_cast<TfrxPicture *>(&m_picture); }
    TfrxKeptGraphic *Glyph() const { return const_cast<TfrxKeptGraphic *>(&m_glyph); }

private:
    TfrxPicture m_picture;
    TfrxKeptGraphic m_glyph;
};

#define TW_DIALOG_CONTROL(Cls)                                                           \
    class Cls : public TfrxDialogControl {                                               \
        TW_OBJECT(Cls)                                                                   \
        using TfrxDialogControl::TfrxDialogControl;                                      \
    };

TW_DIALOG_CONTROL(TfrxLabelControl)
TW_DIALOG_CONTROL(TfrxEditControl)
TW_DIALOG_CONTROL(TfrxMemoControl)
TW_DIALOG_CONTROL(TfrxButtonControl)
TW_DIALOG_CONTROL(TfrxCheckBoxControl)
TW_DIALOG_CONTROL(TfrxRadioButtonControl)
TW_DIALOG_CONTROL(TfrxListBoxControl)
TW_DIALOG_CONTROL(TfrxComboBoxControl)
TW_DIALOG_CONTROL(TfrxDateEditControl)
TW_DIALOG_CONTROL(TfrxImageControl)
TW_DIALOG_CONTROL(TfrxBevelControl)
TW_DIALOG_CONTROL(TfrxPanelControl)
TW_DIALOG_CONTROL(TfrxGroupBoxControl)
TW_DIALOG_CONTROL(TfrxBitBtnControl)
TW_DIALOG_CONTROL(TfrxSpeedButtonControl)
TW_DIALOG_CONTROL(TfrxMaskEditControl)
TW_DIALOG_CONTROL(TfrxCheckListBoxControl)
TW_DIALOG_CONTROL(TfrxDBLookupComboBox)

#undef TW_DIALOG_CONTROL

// The dialog control classes, for registration.
QList<const ClassInfo *> dialogControlClasses();

} // namespace tw
