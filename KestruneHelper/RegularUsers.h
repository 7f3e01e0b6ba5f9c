#pragma once

#include <QString>

#include <cstdint>

namespace kestrune {

// The accounts of people, as opposed to the system's own: UID_MIN to UID_MAX of login.defs
// (1000 to 60000 where the file or a setting is missing), without the overflow user
// "nobody" and the range systemd hands out to dynamic service users, which some systems
// place inside those bounds.
class RegularUsers {
public:
    static constexpr std::uint32_t defaultFirst = 1000;
    static constexpr std::uint32_t defaultLast = 60000;
    static constexpr std::uint32_t overflowUid = 65534;
    static constexpr std::uint32_t firstDynamicUid = 61184;
    static constexpr std::uint32_t lastDynamicUid = 65519;

    // Reads the bounds from a login.defs file.
    explicit RegularUsers(const QString& loginDefsPath);

    bool contains(std::uint32_t uid) const;
    std::uint32_t first() const { return m_first; }
    std::uint32_t last() const { return m_last; }

private:
    std::uint32_t m_first = defaultFirst;
    std::uint32_t m_last = defaultLast;
};

} // namespace kestrune
