#include "base/guid.h"

#include <uuid/uuid.h>

namespace tw {

QString newGuidText()
{
    uuid_t id;
    uuid_generate_random(id);
    char text[37] = {};
    uuid_unparse_upper(id, text);
    if (text[0] == 0)
        return QString();
    return QString::fromLatin1(text, 36);
}

QString newGuidTextBraced()
{
    const QString g = newGuidText();
    return g.isEmpty() ? QString() : QLatin1Char('{') + g + QLatin1Char('}');
}

} // namespace tw
