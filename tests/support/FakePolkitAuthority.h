#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>

namespace kestrune::test {

// The system's authority as far as CheckAuthorization goes: it records what it was asked
// and answers with a fixed verdict, at once or, while held, when released.
class FakePolkitAuthority : public QDBusVirtualObject {
public:
    // It answers from the thread that made it, so a test waits for it with its event loop
    // running (waitUntil), not with a blocking call.
    bool authorise = true;
    int checks = 0;
    QString signature;
    QString subjectKind;
    QVariantMap subjectDetails;
    QString action;
    uint flags = 99;

    // Takes the authority's name and object on `connection`.
    bool registerOn(QDBusConnection connection);

    // Questions asked from now on wait for release(), which answers them all.
    void hold() { m_holding = true; }
    void release();

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void answer(const QDBusMessage& question);

    QDBusConnection m_connection{QString()};
    bool m_holding = false;
    QList<QDBusMessage> m_held;
};

} // namespace kestrune::test
