#include "db/dataset.h"

namespace tw::db {

int DataSet::compareBookmarks(const Bookmark &a, const Bookmark &b) const
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    if (a.row != b.row)
        return a.row < b.row ? -1 : 1;
    return 0;
}

void DataSet::doAfterOpen()
{
    if (m_afterOpen) {
        const Notify h = m_afterOpen;
        h(*this);
    }
}

void DataSet::doBeforeClose()
{
    if (m_beforeClose) {
        const Notify h = m_beforeClose;
        h(*this);
    }
}

} // namespace tw::db
