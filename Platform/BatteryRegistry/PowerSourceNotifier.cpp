#include "Platform/BatteryRegistry/PowerSourceNotifier.h"

#include "Platform/Sysfs/PowerSupplyTree.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kestrune {

namespace {

// The kernel's own uevents, as opposed to udevd's rebroadcasts (group 2).
constexpr unsigned kernelEventGroup = 1;
// A uevent is at most a few kilobytes (the kernel caps its environment at 2 KiB of keys).
constexpr int datagramCapacity = 16 * 1024;

} // namespace

PowerSourceNotifier::PowerSourceNotifier(QString sysfsRoot, std::chrono::milliseconds pollInterval,
                                         QObject* parent)
    : QObject(parent)
    , m_root(std::move(sysfsRoot))
    , m_pollInterval(pollInterval)
{
    m_pollTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &PowerSourceNotifier::checkState);
}

PowerSourceNotifier::~PowerSourceNotifier()
{
    stop();
}

PowerSourceNotifier::Mechanism PowerSourceNotifier::start()
{
    stop();
    // Only the kernel's tree has a kernel announcing its changes.
    const bool realSysfs = QFileInfo(m_root).canonicalFilePath() == QLatin1String("/sys");
    if (realSysfs && openNetlink())
        m_mechanism = Mechanism::Netlink;
    else if (realSysfs || !startWatching())
        startPolling();
    return m_mechanism;
}

void PowerSourceNotifier::stop()
{
    closeNetlink();
    delete m_watcher;
    m_watcher = nullptr;
    m_pollTimer.stop();
    m_mechanism = Mechanism::None;
    m_announcePending = false;
}

bool PowerSourceNotifier::openNetlink()
{
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        return false;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kernelEventGroup;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_socket = fd;
    m_socketNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_socketNotifier, &QSocketNotifier::activated, this, &PowerSourceNotifier::readNetlink);
    return true;
}

void PowerSourceNotifier::closeNetlink()
{
    if (m_socketNotifier) {
        m_socketNotifier->setEnabled(false);
        m_socketNotifier->deleteLater();
        m_socketNotifier = nullptr;
    }
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

void PowerSourceNotifier::readNetlink()
{
    QByteArray buffer(datagramCapacity, Qt::Uninitialized);
    for (;;) {
        sockaddr_nl sender{};
        socklen_t senderSize = sizeof sender;
        const ssize_t n = ::recvfrom(m_socket, buffer.data(), buffer.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            if (errno == ENOBUFS) {
                // The kernel dropped events for us: something changed, we cannot tell what.
                announce();
                continue;
            }
            // The socket is unusable; keep the monitor informed the slow way.
            closeNetlink();
            startPolling();
            return;
        }
        // Only the kernel (port 0) speaks for the hardware; anything else on the group is
        // ignored rather than trusted.
        if (sender.nl_pid != 0 || n > buffer.size())
            continue;
        if (isPowerSupplyEvent(QByteArray::fromRawData(buffer.constData(), static_cast<int>(n))))
            announce();
    }
}

bool PowerSourceNotifier::isPowerSupplyEvent(const QByteArray& datagram)
{
    const QList<QByteArray> fields = datagram.split('\0');
    // The header names the action and the device: "change@/devices/...".
    if (fields.isEmpty() || !fields.first().contains('@'))
        return false;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        if (fields.at(i) == "SUBSYSTEM=power_supply")
            return true;
    }
    return false;
}

bool PowerSourceNotifier::startWatching()
{
    m_watcher = new QFileSystemWatcher(this);
    // The file is watched afresh at every change (checkState adds it again): one replaced by
    // another (a rename over it, as the simulator writes) would otherwise keep the watch on
    // the old file for as long as anybody holds that open.
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString& path) {
        m_watcher->removePath(path);
        checkState();
    });
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &PowerSourceNotifier::checkState);
    if (!watchTree()) {
        delete m_watcher;
        m_watcher = nullptr;
        return false;
    }
    m_mechanism = Mechanism::Watch;
    m_lastState = pollState();
    return true;
}

bool PowerSourceNotifier::watchTree()
{
    const PowerSupplyTree tree(m_root);
    QStringList wanted{tree.classPath()};
    for (const PowerSupplyTree::Supply& s : tree.supplies())
        wanted << s.path + (s.type == QLatin1String("Battery") ? QStringLiteral("/status") : QStringLiteral("/online"));
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    QStringList missing;
    for (const QString& path : wanted)
        if (!watched.contains(path) && QFileInfo::exists(path))
            missing << path;
    const QStringList failed = missing.isEmpty() ? QStringList() : m_watcher->addPaths(missing);
    return m_watcher->directories().contains(tree.classPath()) && !failed.contains(tree.classPath());
}

void PowerSourceNotifier::startPolling()
{
    m_mechanism = Mechanism::Poll;
    m_lastState = pollState();
    m_pollTimer.start(m_pollInterval);
}

void PowerSourceNotifier::checkState()
{
    // A supply that came, or a file replaced, is watched before its state is read, so that
    // no change between the two goes unseen.
    if (m_watcher)
        watchTree();
    const QString state = pollState();
    if (state != m_lastState) {
        m_lastState = state;
        announce();
    }
}

// What a plug or a charging change alters: the supplies present, each adapter's `online`
// and each battery's `status`.
QString PowerSourceNotifier::pollState() const
{
    QString state;
    for (const PowerSupplyTree::Supply& s : PowerSupplyTree(m_root).supplies()) {
        const bool battery = s.type == QLatin1String("Battery");
        const QString attribute = battery ? QStringLiteral("status") : QStringLiteral("online");
        state += s.name + u'=' + PowerSupplyTree::read(s.path, attribute).value_or(QStringLiteral("?")) + u';';
    }
    return state;
}

void PowerSourceNotifier::announce()
{
    // A plug makes several supplies report at once; one notice covers the burst.
    if (m_announcePending)
        return;
    m_announcePending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_announcePending)
            return;
        m_announcePending = false;
        emit changed();
    });
}

} // namespace kestrune
