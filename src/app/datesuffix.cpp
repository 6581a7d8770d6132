#include "app/datesuffix.h"

namespace tw::app {

QString dateSuffix(int year, int month, int day)
{
    return QString::number(year) + QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0'))
           + QString::number(day);
}

QString dateSuffix(TDateTime date)
{
    int year = 0, month = 0, day = 0;
    decodeDate(date, year, month, day);
    return dateSuffix(year, month, day);
}

} // namespace tw::app
