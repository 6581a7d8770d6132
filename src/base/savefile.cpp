#include "base/savefile.h"

namespace tw {

bool commitWhole(QSaveFile &file, QString *reason)
{
    if (!file.flush()) {
        *reason = file.errorString();
        file.cancelWriting(); // the temporary file goes with the object
        return false;
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace tw
