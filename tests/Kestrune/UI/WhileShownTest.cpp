#include "Kestrune/UI/WhileShown.h"

#include <QApplication>
#include <QLabel>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace kestrune;

// A view's change handler and appear action over a model object (here the name of a QObject
// stands in for a setting), through shows, hides, tab switches and the model's and view's end.
TEST(WhileShown, HandlersRunOnlyForChangesWhileTheViewIsShown)
{
    auto model = std::make_unique<QObject>();
    QTabWidget tabs;
    auto* view = new QLabel("view");
    tabs.addTab(view, "1");
    tabs.addTab(new QLabel("other"), "2");

    QStringList changes;
    int appearances = 0;
    auto* whileShown = new WhileShown(view);
    whileShown->connect(model.get(), &QObject::objectNameChanged, [&](const QString& name) { changes << name; });
    // The appear action sets the model; that is the value the view appeared with, not a change.
    whileShown->onShow([&] {
        ++appearances;
        if (model)
            model->setObjectName(QString("seeded %1").arg(appearances));
    });

    model->setObjectName("before show");
    EXPECT_FALSE(whileShown->isShown());
    tabs.show();
    QApplication::processEvents();
    EXPECT_TRUE(whileShown->isShown());
    EXPECT_EQ(appearances, 1);
    model->setObjectName("80");
    EXPECT_EQ(changes, QStringList{"80"});

    // Another tab: the view is hidden, its handlers are not connected.
    tabs.setCurrentIndex(1);
    EXPECT_FALSE(whileShown->isShown());
    model->setObjectName("75 elsewhere");
    tabs.setCurrentIndex(0);
    EXPECT_EQ(appearances, 2);
    model->setObjectName("70");
    EXPECT_EQ(changes, (QStringList{"80", "70"}));

    // The window closes and opens again: one connection, not two.
    tabs.hide();
    model->setObjectName("closed");
    tabs.show();
    model->setObjectName("65");
    EXPECT_EQ(changes, (QStringList{"80", "70", "65"}));
    EXPECT_EQ(appearances, 3);

    // A handler registered while shown is connected at once.
    int late = 0;
    whileShown->connect(model.get(), &QObject::objectNameChanged, [&] { ++late; });
    model->setObjectName("60");
    EXPECT_EQ(late, 1);

    // A model gone while hidden is skipped at the next show; a view gone takes its handlers.
    tabs.hide();
    model.reset();
    tabs.show();
    EXPECT_EQ(appearances, 4);
    QObject other;
    whileShown->connect(&other, &QObject::objectNameChanged, [&] { ++late; });
    delete view;
    other.setObjectName("after the view");
    EXPECT_EQ(late, 1);
}
