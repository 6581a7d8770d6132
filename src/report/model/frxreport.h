#pragma once

#include "report/model/frxcomponent.h"

#include <QStringList>

namespace tw {

// The root of a template.
class TfrxReport : public TfrxComponent {
    TW_OBJECT(TfrxReport)
    explicit TfrxReport(Component *owner = nullptr);
    ~TfrxReport() override;

    bool isReport() const override { return true; }

    // Problems of the last load or run: sorted, each once.
    const QStringList &Errors() const { return m_errors; }
    void AddError(const QString &message);
    void ClearErrors() { m_errors.clear(); }

private:
    QStringList m_errors;
};

} // namespace tw
