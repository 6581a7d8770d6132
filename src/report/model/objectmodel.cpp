#include "report/model/objectmodel.h"

#include <mutex>

namespace tw {

void frxRegisterClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const ClassInfo *classes[] = {
            &TfrxReport::staticClassInfo(),       &TfrxReportPage::staticClassInfo(),
            &TfrxDataPage::staticClassInfo(),     &TfrxDialogPage::staticClassInfo(),
            &TfrxNullBand::staticClassInfo(),     &TfrxStyleItem::staticClassInfo(),
        };
        for (const ClassInfo *ci : classes)
            registerClass(ci);
        for (const ClassInfo *ci : frxBands())
            registerClass(ci);
        registerViewClasses();
    });
    // The dataset classes, the dataset lookup by name and the bands' counting datasets.
    frxRegisterDataSets();
}

} // namespace tw
