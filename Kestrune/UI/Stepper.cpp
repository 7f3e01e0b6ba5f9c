#include "Kestrune/UI/Stepper.h"

#include "Kestrune/UI/PlainText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

namespace kestrune {

Stepper::Stepper(int minimum, int maximum, int step, QWidget* parent)
    : QWidget(parent)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_step(step)
    , m_value(minimum)
    , m_label(new QLabel(this))
    , m_down(new QToolButton(this))
    , m_up(new QToolButton(this))
{
    m_label->setObjectName(QStringLiteral("text"));
    PlainText::apply(m_label);
    m_label->setWordWrap(true);
    m_down->setObjectName(QStringLiteral("down"));
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setText(QStringLiteral("−"));
    m_up->setText(QStringLiteral("+"));
    // Held down, a button keeps stepping, each step a press of its own.
    for (QToolButton* button : { m_down, m_up }) {
        button->setAutoRepeat(true);
        button->setFixedWidth(28);
    }
    connect(m_down, &QToolButton::clicked, this, [this] { press(-1); });
    connect(m_up, &QToolButton::clicked, this, [this] { press(+1); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_label, 1);
    layout->addSpacing(8);
    layout->addWidget(m_down);
    layout->addWidget(m_up);
    follow();
}

void Stepper::setText(const QString& text)
{
    m_label->setText(text);
}

QString Stepper::text() const
{
    return m_label->text();
}

void Stepper::setValue(int value)
{
    m_value = value;
    follow();
}

void Stepper::press(int direction)
{
    const int next = std::clamp(m_value + direction * m_step, m_minimum, m_maximum);
    if (next == m_value)
        return;
    m_value = next;
    follow();
    emit stepped(next);
}

void Stepper::follow()
{
    m_down->setEnabled(m_value > m_minimum);
    m_up->setEnabled(m_value < m_maximum);
}

} // namespace kestrune
