#pragma once

#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "tests/Kestrune/App/AppStateFixture.h"

#include <QFile>
#include <QLabel>

#include <memory>

namespace kestrune::test {

// The popover over the application core on a simulated machine (AppStateFixture), shown
// offscreen. Windows it opens are only listed.
class MenuBarFixture : public AppStateFixture {
protected:
    void TearDown() override
    {
        view.reset();
        AppStateFixture::TearDown();
    }

    MenuBarView& showView(AppState& app)
    {
        view = std::make_unique<MenuBarView>(app, [this](const QString& id) { opened << id; });
        view->show();
        return *view;
    }

    template <typename T = QWidget> T* find(const char* name) const
    {
        T* found = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    bool shown(const char* name) const { return find(name)->isVisibleTo(view.get()); }
    QString textOf(const char* name) const
    {
        QWidget* widget = find(name);
        if (auto* label = qobject_cast<QLabel*>(widget))
            return label->text();
        return widget->findChild<QLabel*>(QStringLiteral("text"))->text();
    }
    QColor colorOf(const char* name) const { return find(name)->palette().color(QPalette::Active, QPalette::WindowText); }

    // Rewrites one attribute of the simulated battery (or, with `device`, of another device).
    void attribute(const QString& name, const QVariant& value, const QString& device = SimTree::batteryName())
    {
        QFile file(root + QStringLiteral("/class/power_supply/") + device + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(value.toString().toUtf8() + '\n');
    }

    std::unique_ptr<MenuBarView> view;
    QStringList opened;
};

} // namespace kestrune::test
