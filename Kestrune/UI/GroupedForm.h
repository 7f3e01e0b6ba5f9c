#pragma once

#include <QList>
#include <QScrollArea>

class QVBoxLayout;

namespace kestrune {

class FormSection;

// A form in the grouped style: titled sections of rows, one under the other, in a scroll area.
class GroupedForm : public QScrollArea {
    Q_OBJECT

public:
    explicit GroupedForm(QWidget* parent = nullptr);

    // A new section after the last one; an empty header shows none.
    FormSection* addSection(const QString& header = {});
    QList<FormSection*> sections() const;

private:
    QWidget* m_content;
    QVBoxLayout* m_layout;
};

} // namespace kestrune
