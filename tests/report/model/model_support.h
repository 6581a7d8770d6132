#pragma once

#include "report/model/objectmodel.h"

#include <QBuffer>
#include <QString>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace tw::test {

// The attribute names of an attribute string, in order.
QStringList attributeNames(const QString &attrs);
// The value of one attribute, still escaped; a null string when absent.
QString attributeValue(const QString &attrs, const QString &name);
// A report saved to bytes.
QByteArray saveReport(TfrxReport &report);
// Loads bytes into the report in the given silent mode.
void loadReport(TfrxReport &report, const QByteArray &bytes, TfrxSilentMode mode = simSilent);
// A report dataset for tests: its user name is its component name.
class TTestDataSet : public TfrxDataSet {
    TW_OBJECT(TTestDataSet)
    using TfrxDataSet::TfrxDataSet;
};
void registerModelTestClasses();

} // namespace tw::test
