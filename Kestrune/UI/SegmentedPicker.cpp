#include "Kestrune/UI/SegmentedPicker.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace kestrune {

namespace {
const char* const valueProperty = "segmentValue";
}

SegmentedPicker::SegmentedPicker(QWidget* parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_group, &QButtonGroup::buttonClicked, this, &SegmentedPicker::choose);
}

QAbstractButton* SegmentedPicker::addSegment(const QString& text, const QVariant& value)
{
    auto* button = new QPushButton(text, this);
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setProperty(valueProperty, value);
    button->setChecked(m_value.isValid() && value == m_value);
    m_group->addButton(button);
    layout()->addWidget(button);
    return button;
}

QAbstractButton* SegmentedPicker::segment(const QVariant& value) const
{
    for (QAbstractButton* button : m_group->buttons())
        if (button->property(valueProperty) == value)
            return button;
    return nullptr;
}

QList<QAbstractButton*> SegmentedPicker::segments() const
{
    return m_group->buttons();
}

void SegmentedPicker::setValue(const QVariant& value)
{
    QAbstractButton* chosen = segment(value);
    m_value = chosen ? value : QVariant();
    // An exclusive group cannot uncheck its last button; it is let go for a moment.
    m_group->setExclusive(false);
    for (QAbstractButton* button : m_group->buttons())
        button->setChecked(button == chosen);
    m_group->setExclusive(true);
}

void SegmentedPicker::choose(QAbstractButton* button)
{
    const QVariant value = button->property(valueProperty);
    if (m_value.isValid() && value == m_value)
        return;
    m_value = value;
    emit picked(value);
}

} // namespace kestrune
