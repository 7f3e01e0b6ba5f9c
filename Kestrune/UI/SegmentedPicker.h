#pragma once

#include <QList>
#include <QVariant>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace kestrune {

// A row of exclusive segments, each standing for one value (a period, a level mode, a limit).
// At most one segment is chosen; a value that no segment stands for shows none chosen.
class SegmentedPicker : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedPicker(QWidget* parent = nullptr);

    // Adds a segment at the end and returns its button, for an object name or a tooltip.
    QAbstractButton* addSegment(const QString& text, const QVariant& value);
    QAbstractButton* segment(const QVariant& value) const;
    QList<QAbstractButton*> segments() const;

    // Shows `value` as chosen; never emits `picked`, so showing a stored value writes nothing.
    void setValue(const QVariant& value);
    // The chosen segment's value, or an invalid value when none is chosen.
    QVariant value() const { return m_value; }

signals:
    // The user chose a segment other than the one already chosen.
    void picked(const QVariant& value);

private:
    void choose(QAbstractButton* button);

    QButtonGroup* m_group;
    QVariant m_value;
};

} // namespace kestrune
