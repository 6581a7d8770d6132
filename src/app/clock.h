#pragma once

#include "base/datetime.h"

namespace tw::app {

// The current date and time, replaceable so that day-dependent names and dated log lines
// can be checked.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TDateTime now() const = 0;
};

class SystemClock : public Clock {
public:
    TDateTime now() const override;
};

// Always answers the time it was given.
class FixedClock : public Clock {
public:
    explicit FixedClock(TDateTime at) : m_at(at) {}
    TDateTime now() const override { return m_at; }
    void set(TDateTime at) { m_at = at; }

private:
    TDateTime m_at;
};

} // namespace tw::app
