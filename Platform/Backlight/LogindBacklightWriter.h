#pragma once

#include "Platform/Backlight/BacklightWriter.h"

#include <QDBusConnection>

#include <chrono>

namespace kestrune {

// Sets brightness through logind's Session.SetBrightness for the caller's own session, which
// lets an ordinary user change the panel and keyboard backlights without root.
//
// The callers' operations are synchronous, so each call blocks the calling thread until
// logind answers or `timeout` passes; no other work of that thread runs meanwhile.
class LogindBacklightWriter final : public BacklightWriter {
public:
    static constexpr const char* service = "org.freedesktop.login1";
    static constexpr const char* sessionPath = "/org/freedesktop/login1/session/auto";
    static constexpr const char* sessionInterface = "org.freedesktop.login1.Session";

    explicit LogindBacklightWriter(QDBusConnection bus,
                                   std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

    // logind is on the bus, or the bus can start it.
    bool canWrite() const override;
    bool write(const QString& subsystem, const QString& name, quint32 value) override;

private:
    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
};

} // namespace kestrune
