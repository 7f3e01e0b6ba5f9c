#include "Kestrune/UI/PowerSaverWidgets.h"

#include "Foundation/LocalCalendar.h"
#include "Kestrune/UI/PlainText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrune {

QLabel* PowerSaverWidgets::label(const QString& text, Style::TextStyle style, Style::Foreground foreground)
{
    QLabel* label = PlainText::apply(new QLabel(text));
    Style::apply(label, style, foreground);
    return label;
}

QLabel* PowerSaverWidgets::label(const QString& text, Style::TextStyle style, const QColor& color)
{
    QLabel* label = PlainText::apply(new QLabel(text));
    Style::apply(label, style, color);
    return label;
}

QLabel* PowerSaverWidgets::figures(Style::TextStyle style, int width, Qt::Alignment alignment)
{
    QLabel* figures = label({}, style);
    Style::setMonospacedDigits(figures);
    figures->setMinimumWidth(width);
    figures->setAlignment(alignment | Qt::AlignVCenter);
    return figures;
}

QPushButton* PowerSaverWidgets::smallButton(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setFont(Style::font(Style::Callout));
    button->setAutoDefault(false);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

QWidget* PowerSaverWidgets::line(std::initializer_list<QWidget*> widgets, int spacing)
{
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    if (spacing >= 0)
        layout->setSpacing(spacing);
    for (QWidget* widget : widgets) {
        if (widget)
            layout->addWidget(widget, 0, Qt::AlignVCenter);
        else
            layout->addStretch(1);
    }
    return line;
}

void PowerSaverWidgets::stretch(QWidget* line, QWidget* widget)
{
    static_cast<QHBoxLayout*>(line->layout())->setStretchFactor(widget, 1);
}

QWidget* PowerSaverWidgets::stack(std::initializer_list<QWidget*> widgets, int spacing)
{
    auto* stack = new QWidget;
    auto* layout = new QVBoxLayout(stack);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    return stack;
}

QString PowerSaverWidgets::dateText(const QDateTime& moment, const LocalCalendar& calendar, const QString& pattern)
{
    return QLocale().toString(moment.toTimeZone(calendar.timeZone()), pattern);
}

} // namespace kestrune
