#include "Platform/Workspace/X11Workspace.h"

#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>

using namespace kestrune;

namespace {

// A display of the test's own, and a connection to it that plays the window manager: it
// creates windows stamped with a pid and names one of them the active window.
class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            GTEST_SKIP() << "Xvfb is not installed";
        // Xvfb writes the display number it picked to -displayfd once it accepts clients.
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server.start(xvfb, {"-displayfd", QString::number(fds[1]), "-nolisten", "tcp", "-screen", "0", "64x64x24"});
        ::close(fds[1]);
        char number[16] = {};
        const ssize_t n = ::read(fds[0], number, sizeof number - 1);
        ::close(fds[0]);
        ASSERT_GT(n, 0) << "Xvfb did not start";
        display = ":" + QByteArray(number, n).trimmed();
        wm = xcb_connect(display.constData(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(wm), 0);
        root = xcb_setup_roots_iterator(xcb_get_setup(wm)).data->root;
    }

    void TearDown() override
    {
        if (wm)
            xcb_disconnect(wm);
        server.terminate();
        server.waitForFinished(3000);
    }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(wm, xcb_intern_atom(wm, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : 0;
        std::free(reply);
        return a;
    }

    xcb_window_t windowOf(qint64 pid)
    {
        const xcb_window_t window = xcb_generate_id(wm);
        xcb_create_window(wm, XCB_COPY_FROM_PARENT, window, root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        const uint32_t value = static_cast<uint32_t>(pid);
        if (pid > 0)
            xcb_change_property(wm, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &value);
        return window;
    }

    void focus(xcb_window_t window)
    {
        xcb_change_property(wm, XCB_PROP_MODE_REPLACE, root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1, &window);
        std::free(xcb_get_input_focus_reply(wm, xcb_get_input_focus(wm), nullptr)); // a round trip
    }

    QProcess server;
    QByteArray display;
    xcb_connection_t* wm = nullptr;
    xcb_window_t root = 0;
};

} // namespace

TEST_F(X11WorkspaceTest, FollowsTheActiveWindowToItsProcess)
{
    QProcess sleeper;
    sleeper.start(QStandardPaths::findExecutable(QStringLiteral("sleep")), {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    const qint64 self = QCoreApplication::applicationPid();
    const xcb_window_t mine = windowOf(self), mineToo = windowOf(self), other = windowOf(sleeper.processId()),
                       anonymous = windowOf(0);
    focus(mine);
    QFile comm(QStringLiteral("/proc/self/comm"));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    const RunningApplication me{QString::fromUtf8(comm.readAll()).trimmed(), QCoreApplication::applicationFilePath(), self};

    X11Workspace workspace(display);
    ASSERT_TRUE(workspace.isAvailable()) << workspace.unavailableReason().toStdString();
    EXPECT_EQ(workspace.frontmostApplication(), me);
    QList<RunningApplication> activated;
    QObject::connect(&workspace, &Workspace::applicationActivated,
                     [&](const RunningApplication& application) { activated << application; });

    focus(mineToo); // another window of the same application is no activation
    test::spin(100);
    EXPECT_TRUE(activated.isEmpty());
    focus(other);
    ASSERT_TRUE(test::waitUntil([&] { return activated.size() == 1; }, 3000));
    EXPECT_EQ(activated[0].localizedName, QStringLiteral("sleep"));

    // A window that tells no pid leaves the front unknown; coming back is an activation.
    focus(anonymous);
    test::spin(100);
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
    focus(mine);
    ASSERT_TRUE(test::waitUntil([&] { return activated.size() == 2; }, 3000));
    EXPECT_EQ(activated[1], me);
    sleeper.kill();
    sleeper.waitForFinished();
}

TEST(X11WorkspaceWithoutDisplayTest, KnowsNoApplication)
{
    X11Workspace workspace(QByteArrayLiteral(":4095"));
    EXPECT_FALSE(workspace.isAvailable());
    EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
    EXPECT_EQ(X11Workspace::applicationOfProcess(-5), std::nullopt);
}
