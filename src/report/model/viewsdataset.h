#pragma once

#include "report/model/dialogcomponent.h"

namespace tw {

// The base of report datasets as far as the object model needs it: a class that
// references name, and the user name templates and expressions use.
class TfrxDataSet : public TfrxDialogComponent {
    TW_OBJECT(TfrxDataSet)
    using TfrxDialogComponent::TfrxDialogComponent;
    virtual QString UserName() const { return Name(); }
};

} // namespace tw
