#include "Kestrune/UI/PowerSaverRowGroup.h"

#include "Kestrune/UI/FormSection.h"

#include <QWidget>

namespace kestrune {

PowerSaverRowGroup::PowerSaverRowGroup(FormSection* section)
    : m_section(section)
    , m_end(section->addRow(new QWidget))
{
    m_end->hide();
}

void PowerSaverRowGroup::clear()
{
    // A row may go while a button in it is still handling its own click: it leaves the
    // section at once and is deleted once control is back in the event loop.
    for (QWidget* row : std::as_const(m_rows)) {
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
    }
    m_rows.clear();
}

QWidget* PowerSaverRowGroup::add(QWidget* content)
{
    m_rows << m_section->insertRow(endIndex(), content);
    return m_rows.last();
}

QWidget* PowerSaverRowGroup::add(const QString& label, QWidget* value)
{
    m_rows << m_section->insertRow(endIndex(), label, value);
    return m_rows.last();
}

int PowerSaverRowGroup::endIndex() const
{
    return int(m_section->rows().indexOf(m_end));
}

} // namespace kestrune
