#pragma once

#include "Kestrune/UI/Style.h"

#include <QColor>
#include <QDateTime>
#include <QString>

#include <initializer_list>

class QLabel;
class QPushButton;
class QWidget;

namespace kestrune {

class LocalCalendar;

// The small pieces the power saver tab's sections are made of.
class PowerSaverWidgets {
public:
    // A label that shows its text as it is, never as markup.
    static QLabel* label(const QString& text = {}, Style::TextStyle style = Style::Body,
                         Style::Foreground foreground = Style::Primary);
    static QLabel* label(const QString& text, Style::TextStyle style, const QColor& color);
    // A label at least `width` wide whose figures change, so that its line keeps still and
    // its column lines up with the rows above and below; a longer text widens it.
    static QLabel* figures(Style::TextStyle style, int width, Qt::Alignment alignment);
    // A button of the small control size.
    static QPushButton* smallButton(const QString& text);
    // Widgets side by side on one line, centred vertically; a null entry is a flexible space.
    static QWidget* line(std::initializer_list<QWidget*> widgets, int spacing = -1);
    // Lets `widget` of `line` take the room the line's other widgets leave.
    static void stretch(QWidget* line, QWidget* widget);
    // Widgets one under the other, each as wide as the stack.
    static QWidget* stack(std::initializer_list<QWidget*> widgets, int spacing);

    // `moment` in the user's time zone and the interface's locale, as `pattern` (a
    // translated pattern: each language writes dates its own way).
    static QString dateText(const QDateTime& moment, const LocalCalendar& calendar, const QString& pattern);
};

} // namespace kestrune
