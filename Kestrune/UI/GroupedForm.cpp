#include "Kestrune/UI/GroupedForm.h"

#include "Kestrune/UI/FormSection.h"

#include <QVBoxLayout>

namespace kestrune {

GroupedForm::GroupedForm(QWidget* parent)
    : QScrollArea(parent)
    , m_content(new QWidget)
    , m_layout(new QVBoxLayout(m_content))
{
    m_content->setObjectName(QStringLiteral("formContent"));
    m_layout->setContentsMargins(20, 16, 20, 20);
    m_layout->setSpacing(20);
    m_layout->addStretch(1);
    setWidget(m_content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

FormSection* GroupedForm::addSection(const QString& header)
{
    auto* section = new FormSection(header, m_content);
    // Before the stretch that keeps a short form at the top.
    m_layout->insertWidget(m_layout->count() - 1, section);
    return section;
}

QList<FormSection*> GroupedForm::sections() const
{
    return m_content->findChildren<FormSection*>(Qt::FindDirectChildrenOnly);
}

} // namespace kestrune
