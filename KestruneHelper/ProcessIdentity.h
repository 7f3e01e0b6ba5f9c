#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace kestrune {

// Who a process is: its owner and the moment it started. Once a process has gone the kernel
// hands its pid to a new one; the start time tells the two apart.
struct ProcessIdentity {
    std::uint32_t uid = 0;  // effective user id
    quint64 startTime = 0; // clock ticks after boot

    bool operator==(const ProcessIdentity&) const = default;

    // From /proc; nothing when there is no such process.
    static std::optional<ProcessIdentity> of(std::int32_t pid);
};

} // namespace kestrune
