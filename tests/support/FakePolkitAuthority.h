#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>

#include <atomic>

namespace kestrune::test {

// The system's authority as far as CheckAuthorization goes: it records what it was asked
// and answers with a fixed verdict.
class FakePolkitAuthority : public QDBusVirtualObject {
public:
    std::atomic<bool> authorise = true;
    // Answered from the bus's own thread, so the count is read safely from the test's.
    std::atomic<int> checks = 0;
    QString signature;
    QString subjectKind;
    QVariantMap subjectDetails;
    QString action;
    uint flags = 99;

    // Takes the authority's name and object on `connection`.
    bool registerOn(QDBusConnection connection);

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
};

} // namespace kestrune::test
