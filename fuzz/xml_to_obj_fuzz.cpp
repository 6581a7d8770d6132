// Any attribute string applied to small components of every property kind: errors are
// collected, nothing crashes; a component string is read the same way.
#include "report/xml/xmlserializer.h"
#include "testclasses.h"

#include <cstddef>
#include <cstdint>

using namespace tw;
using namespace tw::test;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool registered = (registerTestClasses(), true);
    (void)registered;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    TTestHost host;
    host.SetName(QStringLiteral("Form1"));
    auto *report = new TTestReport(&host);
    auto *ds = new TTestView(&host);
    ds->SetName(QStringLiteral("CUST"));
    auto *memo = new TTestMemo(report, report);
    memo->SetName(QStringLiteral("Memo1"));

    TfrxXMLSerializer ser;
    ser.SetOwner(report);
    ser.SetOldFormat(size % 2 == 1);
    ser.XMLToObj(text, memo);
    ser.XMLToObj(text, report);
    ser.ResolveReferences();
    ser.ObjToXML(memo);
    ser.ObjToXML(report);
    try {
        ser.ReadComponentStr(report, QStringLiteral("TTestMemo ") + text);
    } catch (const EClassNotFound &) {
    }
    return 0;
}
