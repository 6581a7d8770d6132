#include "report/model/frxreport.h"

namespace tw {

TW_DEFINE_CLASS(TfrxReport, &TfrxComponent::staticClassInfo())
{
    ClassBuilder<TfrxReport>(info).factory(frxFactory<TfrxReport>());
}

TfrxReport::TfrxReport(Component *owner) : TfrxComponent(owner) {}

TfrxReport::~TfrxReport() = default;

void TfrxReport::AddError(const QString &message)
{
    const auto it = std::lower_bound(m_errors.begin(), m_errors.end(), message);
    if (it != m_errors.end() && *it == message)
        return;
    m_errors.insert(it, message);
}

} // namespace tw
