#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace kestrune {

class FormSection;

// Rows of a form section that are replaced together, such as a list that grows and shrinks.
// The group keeps its place among the section's other rows: it takes the place where it was
// made, and rows added to the section after it stay after it.
class PowerSaverRowGroup {
public:
    explicit PowerSaverRowGroup(FormSection* section);

    PowerSaverRowGroup(const PowerSaverRowGroup&) = delete;
    PowerSaverRowGroup& operator=(const PowerSaverRowGroup&) = delete;

    // Takes every row of the group out of the section, for deletion.
    void clear();
    // A row after the group's last one; returns the row.
    QWidget* add(QWidget* content);
    QWidget* add(const QString& label, QWidget* value);

    const QList<QWidget*>& rows() const { return m_rows; }

private:
    int endIndex() const;

    FormSection* m_section;
    // A hidden row that marks where the group ends; it takes no room and draws no divider.
    QWidget* m_end;
    QList<QWidget*> m_rows;
};

} // namespace kestrune
