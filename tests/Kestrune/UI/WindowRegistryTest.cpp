#include "Kestrune/UI/WindowRegistry.h"
#include "tests/support/EventLoop.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

// Content with a minimum of its own, as the main window's tabs give it.
QWidget* mainContent()
{
    auto* content = new QLabel("main");
    content->setMinimumSize(860, 560);
    return content;
}

// Content whose size follows what it holds, as the share window's does.
QWidget* fittedContent(const QString& text)
{
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* label = new QLabel(text);
    label->setObjectName("text");
    label->setFixedSize(300, 120);
    layout->addWidget(label);
    return content;
}

} // namespace

TEST(WindowRegistry, OpensOneWindowPerIdentifierAndForgetsItWhenClosed)
{
    WindowRegistry registry;
    int mains = 0;
    int shares = 0;
    registry.addResizable("main", "Kestrune", QSize(880, 640), [&] { return ++mains, mainContent(); });
    registry.addFitted("share", "実績をシェア", [&] { return ++shares, fittedContent("card"); });
    registry.addFitted("onboarding", "ようこそ", [] {
        auto* dialog = new QDialog;
        dialog->setLayout(new QVBoxLayout);
        dialog->layout()->addWidget(new QLabel("step 1"));
        return dialog;
    });
    registry.addFitted("broken", "x", [] { return nullptr; });
    int lastClosed = 0;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++lastClosed; });

    // Two requests at once, or one from the label and one from a view: one window.
    QWidget* main = registry.open("main");
    ASSERT_TRUE(main);
    EXPECT_EQ(registry.open("main"), main);
    EXPECT_EQ(mains, 1);
    EXPECT_TRUE(main->isWindow() && main->isVisible());
    EXPECT_EQ(main->windowTitle(), "Kestrune");
    EXPECT_EQ(main->size(), QSize(880, 640));
    main->resize(500, 300);
    EXPECT_EQ(main->size(), QSize(860, 560)) << "no smaller than its content allows";

    QWidget* share = registry.open("share");
    ASSERT_TRUE(share && share != main);
    EXPECT_EQ(share->windowTitle(), "実績をシェア");
    QApplication::processEvents();
    EXPECT_EQ(share->minimumSize(), share->maximumSize()) << "the content's size and no other";
    share->findChild<QLabel*>("text")->setFixedSize(400, 200);
    QApplication::processEvents();
    EXPECT_GE(share->width(), 400) << "and it follows the content";

    // A minimised window comes back.
    main->showMinimized();
    EXPECT_EQ(registry.open("main"), main);
    EXPECT_FALSE(main->isMinimized());

    // Closed windows are deleted; the next request builds a fresh one. Nothing quits.
    QPointer<QWidget> closedMain = main;
    main->close();
    EXPECT_TRUE(waitUntil([&] { return closedMain.isNull(); }));
    EXPECT_EQ(registry.window("main"), nullptr);
    QPointer<QWidget> closedShare = share;
    share->close();
    EXPECT_TRUE(waitUntil([&] { return closedShare.isNull(); }));
    EXPECT_EQ(lastClosed, 0);
    QWidget* reopened = registry.open("main");
    ASSERT_TRUE(reopened);
    EXPECT_EQ(mains, 2);
    EXPECT_EQ(registry.window("main"), reopened);

    // A dialog that finishes is gone as well.
    auto* onboarding = qobject_cast<QDialog*>(registry.open("onboarding"));
    ASSERT_TRUE(onboarding);
    QPointer<QDialog> finished = onboarding;
    onboarding->accept();
    EXPECT_TRUE(waitUntil([&] { return finished.isNull(); }));
    EXPECT_NE(registry.open("onboarding"), nullptr);

    EXPECT_EQ(registry.open("unknown"), nullptr);
    EXPECT_EQ(registry.open("broken"), nullptr);
    EXPECT_EQ(registry.window("broken"), nullptr);
}
