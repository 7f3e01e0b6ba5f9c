#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/ContentGrab.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/GroupedForm.h"
#include "tests/support/EventLoop.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

// Whether the picture has a pixel close to `color` inside `area`.
bool hasInk(const QImage& picture, const QRect& area, const QColor& color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) < 12 && std::abs(pixel.green() - color.green()) < 12
                && std::abs(pixel.blue() - color.blue()) < 12)
                return true;
        }
    return false;
}

} // namespace

TEST(GroupedForm, RowsShowHideAndGoAwayWithTheirDividersAndTheBoxFollowsThem)
{
    GroupedForm form;
    FormSection* status = form.addSection("状態");
    FormSection* list = form.addSection();
    ASSERT_EQ(form.sections(), (QList<FormSection*>{status, list}));
    EXPECT_FALSE(list->header()->isVisibleTo(list));
    EXPECT_FALSE(status->footer()->isVisibleTo(status));

    auto* value = new QLabel("<b>engine text</b>");
    QWidget* shown = status->addRow("今日", value);
    QWidget* hidden = status->addRow("目標", new QLabel("2時間"));
    hidden->hide();
    status->addRow(new QCheckBox("ブースト"));
    status->setFooter("どちらもAC再接続時に自動で再開されます。");
    form.resize(480, 400);
    form.show();
    QApplication::processEvents();

    // Values from the engines are text, never markup, and keep to the trailing edge.
    EXPECT_EQ(value->textFormat(), Qt::PlainText);
    EXPECT_TRUE(value->alignment() & Qt::AlignRight);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_TRUE(status->footer()->isVisible());
    const int withoutTarget = status->height();
    hidden->show();
    QApplication::processEvents();
    EXPECT_GT(status->height(), withoutTarget);

    // A list section: rows inserted above a row that stays, deleted again by the view. With
    // no row left the box goes, the header stays.
    QWidget* entry = list->addRow(new QLabel("entry field"));
    QWidget* first = list->insertRow(0, "Slack", new QLabel("-"));
    QWidget* second = list->insertRow(1, "Zoom", new QLabel("-"));
    EXPECT_EQ(list->rows(), (QList<QWidget*>{first, second, entry}));
    QWidget* box = list->findChild<QWidget*>("rows");
    ASSERT_TRUE(box);
    QApplication::processEvents();
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(second->isVisible()) << "a row added to a form on screen is shown";
    delete first;
    delete second;
    entry->hide();
    EXPECT_TRUE(waitUntil([&] { return !box->isVisible(); }));
    EXPECT_EQ(list->rows(), QList<QWidget*>{entry});
    entry->show();
    EXPECT_TRUE(waitUntil([&] { return box->isVisible(); }));
}

TEST(GroupedForm, RendersWholeAtItsFullContentHeight)
{
    GroupedForm form;
    FormSection* top = form.addSection("上");
    for (int i = 0; i < 30; ++i)
        top->addRow(QString("row %1").arg(i), new QLabel(QString::number(i)));
    FormSection* bottom = form.addSection("下");
    auto* badge = new CapsuleLabel;
    badge->setText("L3");
    badge->setColors(QColor(255, 0, 0));
    bottom->addRow("最後", badge);
    bottom->setFooter(QString("長い注記。").repeated(40));
    form.resize(400, 300);

    const QImage picture = ContentGrab::whole(form).toImage();
    // All of the content fits, the last badge and the wrapped footer included, and the
    // picture is of the whole form, not of its first screen.
    EXPECT_EQ(ContentGrab::hiddenHeight(form), 0);
    EXPECT_EQ(picture.width(), 400);
    EXPECT_GT(picture.height(), 30 * 20);
    EXPECT_EQ(picture.height(), form.height());
    const QRect badgeArea(badge->mapTo(&form, QPoint(0, 0)), badge->size());
    EXPECT_LE(bottom->footer()->mapTo(&form, QPoint(0, bottom->footer()->height())).y(), picture.height());
    EXPECT_TRUE(hasInk(picture, badgeArea, QColor(255, 0, 0)));

    // A form inside a window is grown through the window.
    QWidget window;
    auto* inner = new GroupedForm(&window);
    FormSection* section = inner->addSection("中");
    for (int i = 0; i < 40; ++i)
        section->addRow(QString("row %1").arg(i), new QLabel("x"));
    window.resize(300, 250);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 50, 0, 0);
    layout->addWidget(inner);
    const QPixmap whole = ContentGrab::whole(window);
    EXPECT_EQ(ContentGrab::hiddenHeight(*inner), 0);
    EXPECT_EQ(whole.height(), window.height());
    EXPECT_GT(whole.height(), 40 * 20 + 50);
}
