#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace kestrune {

// A label that shows a whole number, with a pair of buttons that lower and raise it by one
// step within a range. Only the user's presses are reported; a value set by the view is
// shown as it is, even off the step grid or out of range, and writes nothing back.
class Stepper : public QWidget {
    Q_OBJECT

public:
    Stepper(int minimum, int maximum, int step, QWidget* parent = nullptr);

    // The label's text; it carries the number itself, as the view words it.
    void setText(const QString& text);
    QString text() const;
    void setValue(int value);
    int value() const { return m_value; }

    QToolButton* downButton() const { return m_down; }
    QToolButton* upButton() const { return m_up; }

signals:
    // The user pressed a button: the new value, already within the range.
    void stepped(int value);

private:
    void press(int direction);
    void follow();

    int m_minimum;
    int m_maximum;
    int m_step;
    int m_value;
    QLabel* m_label;
    QToolButton* m_down;
    QToolButton* m_up;
};

} // namespace kestrune
