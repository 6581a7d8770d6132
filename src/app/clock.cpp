#include "app/clock.h"

namespace tw::app {

TDateTime SystemClock::now() const
{
    return nowDateTime();
}

} // namespace tw::app
