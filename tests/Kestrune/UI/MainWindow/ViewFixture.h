#pragma once

#include "Kestrune/App/AppState.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kestrune::test {

// The views over the demo machine: a day of history unless a test asks for more, the helper
// connected. Views are built by the tests and must go before the machine does.
class ViewFixture : public ::testing::Test {
protected:
    static demo::DemoApp::Options options(demo::HelperScene helper = demo::HelperScene::Connected)
    {
        demo::DemoApp::Options options;
        options.helper = helper;
        options.historyDays = 1;
        return options;
    }

    AppState& launch(demo::DemoApp::Options options = ViewFixture::options())
    {
        demo = std::make_unique<demo::DemoApp>(std::move(options));
        QString error;
        EXPECT_TRUE(demo->launch(&error)) << error.toStdString();
        return demo->state();
    }

    // The daemon refuses every charging write, so the controller never takes one as applied:
    // each evaluation that follows writes once more, and the writes count the evaluations.
    void countEvaluations()
    {
        demo->daemon().setReply(HelperProtocol::setChargingEnabled,
            *HelperCommandResult::failure(QStringLiteral("refused")).toJson());
        demo->state().controller().invalidateAppliedCache();
        EXPECT_TRUE(demo->daemon().settle(demo->bus().connect(QStringLiteral("app"))));
    }
    // How many evaluations `change` started once they have all run.
    int evaluationsAfter(const std::function<void()>& change)
    {
        demo->daemon().clearCalls();
        change();
        EXPECT_TRUE(demo->daemon().settle(demo->bus().connect(QStringLiteral("app"))));
        return demo->daemon().count(HelperProtocol::setChargingEnabled);
    }

    template <typename T = QWidget> static T* child(const QObject* parent, const char* name)
    {
        T* found = parent->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void TearDown() override { demo.reset(); }

    std::unique_ptr<demo::DemoApp> demo;
};

} // namespace kestrune::test
