#pragma once

#include <QDateTime>

namespace kestrune {

// The source of "now" for logic that reads the time itself. Production code gets
// Clock::system(); tests hand in a clock they move by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The wall clock, in UTC.
    static const Clock& system();
};

} // namespace kestrune
