#include "report/model/dialogcomponent.h"

#include <cmath>

namespace tw {

TW_DEFINE_CLASS(TfrxDialogComponent, &TfrxReportComponent::staticClassInfo()) {}

TfrxDialogComponent::TfrxDialogComponent(Component *owner) : TfrxReportComponent(owner)
{
    SetWidth(28);
    SetHeight(28);
}

TfrxDialogComponent::~TfrxDialogComponent() = default;

void TfrxDialogComponent::DefineProperties(TfrxFiler &filer)
{
    TfrxReportComponent::DefineProperties(filer);
    const bool inReport = Report() != nullptr;
    filer.DefineProperty(
        QStringLiteral("pLeft"), [this](TfrxComponentReader &r) { SetLeft(double(r.ReadInteger())); },
        [this](TfrxComponentWriter &w) { w.WriteInteger(std::lround(Left())); }, inReport);
    filer.DefineProperty(
        QStringLiteral("pTop"), [this](TfrxComponentReader &r) { SetTop(double(r.ReadInteger())); },
        [this](TfrxComponentWriter &w) { w.WriteInteger(std::lround(Top())); }, inReport);
}

} // namespace tw
