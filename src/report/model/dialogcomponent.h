#pragma once

#include "report/model/component.h"

#include <memory>

namespace tw {

// Base of the non-visual components of the data page (datasets, queries, connections).
// Publishes only Name, Tag and Description; its place on the data page travels as the
// integers pLeft and pTop inside PropData.
class TfrxDialogComponent : public TfrxReportComponent {
    TW_OBJECT(TfrxDialogComponent)
    explicit TfrxDialogComponent(Component *owner = nullptr);
    ~TfrxDialogComponent() override;

    // The platform object this component wraps; owned and freed with it.
    Object *WrappedComponent() const { return m_component.get(); }
    void SetWrappedComponent(Object *c) { m_component.reset(c); }

    void DefineProperties(TfrxFiler &filer) override;

private:
    std::unique_ptr<Object> m_component;
};

} // namespace tw
