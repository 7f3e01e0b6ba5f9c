#include "Kestrune/UI/FormSection.h"

#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/Style.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrune {

namespace {

constexpr int boxRadius = 8;
constexpr int rowPaddingX = 12;
constexpr int rowPaddingY = 8;

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    return PlainText::apply(new QLabel(text, parent));
}

// The layout of a new row, padded inside the box.
QHBoxLayout* rowLayout()
{
    auto* layout = new QHBoxLayout(new QWidget);
    layout->setContentsMargins(rowPaddingX, rowPaddingY, rowPaddingX, rowPaddingY);
    return layout;
}

} // namespace

FormSection::FormSection(const QString& header, QWidget* parent)
    : QWidget(parent)
    , m_header(plainLabel(header, this))
    , m_box(new QWidget(this))
    , m_boxLayout(new QVBoxLayout(m_box))
    , m_footer(plainLabel({}, this))
{
    m_header->setObjectName(QStringLiteral("header"));
    Style::apply(m_header, Style::Headline);
    m_header->setWordWrap(true);
    m_header->setVisible(!header.isEmpty());
    m_header->setContentsMargins(rowPaddingX / 2, 0, 0, 0);

    m_boxLayout->setContentsMargins(0, 0, 0, 0);
    m_boxLayout->setSpacing(0);
    m_box->setObjectName(QStringLiteral("rows"));
    m_box->hide();
    m_box->installEventFilter(this);

    m_footer->setObjectName(QStringLiteral("footer"));
    Style::apply(m_footer, Style::Caption, Style::Secondary);
    m_footer->setWordWrap(true);
    m_footer->setContentsMargins(rowPaddingX / 2, 0, 0, 0);
    m_footer->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_header);
    layout->addWidget(m_box);
    layout->addWidget(m_footer);
}

void FormSection::setHeader(const QString& header)
{
    m_header->setText(header);
    m_header->setVisible(!header.isEmpty());
}

void FormSection::setFooter(const QString& footer)
{
    m_footer->setText(footer);
    m_footer->setVisible(!footer.isEmpty());
}

QWidget* FormSection::addRow(const QString& label, QWidget* value)
{
    return insertRow(-1, label, value);
}

QWidget* FormSection::addRow(QWidget* content)
{
    return insertRow(-1, content);
}

QWidget* FormSection::insertRow(int index, const QString& label, QWidget* value)
{
    QHBoxLayout* layout = rowLayout();
    layout->addWidget(plainLabel(label, layout->parentWidget()));
    if (auto* text = qobject_cast<QLabel*>(value)) {
        // The value takes the rest of the row and keeps to its trailing edge.
        PlainText::apply(text);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(text, 1);
    } else if (value->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag) {
        layout->addWidget(value, 1);
    } else {
        layout->addStretch(1);
        layout->addWidget(value);
    }
    return insert(index, layout->parentWidget());
}

QWidget* FormSection::insertRow(int index, QWidget* content)
{
    QHBoxLayout* layout = rowLayout();
    layout->addWidget(content);
    return insert(index, layout->parentWidget());
}

QLabel* FormSection::addTextRow(const QString& label, const QString& valueName)
{
    QLabel* value = plainLabel({}, nullptr);
    value->setObjectName(valueName);
    value->setWordWrap(true);
    addRow(label, value);
    return value;
}

QLabel* FormSection::addNote(const QString& text)
{
    QLabel* note = plainLabel(text, nullptr);
    Style::apply(note, Style::Caption, Style::Secondary);
    note->setWordWrap(true);
    addRow(note);
    return note;
}

QList<QWidget*> FormSection::rows() const
{
    QList<QWidget*> rows;
    for (int i = 0; i < m_boxLayout->count(); ++i)
        if (QWidget* row = m_boxLayout->itemAt(i)->widget())
            rows << row;
    return rows;
}

QWidget* FormSection::insert(int index, QWidget* row)
{
    m_boxLayout->insertWidget(index, row);
    // Rows are shown unless the view hides them, also when added to a form already on screen.
    row->show();
    row->installEventFilter(this);
    followRows();
    return row;
}

bool FormSection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_box && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        followRows();
    // A row the view deleted is still half in the layout while the box hears of it.
    if (watched == m_box && event->type() == QEvent::ChildRemoved)
        QMetaObject::invokeMethod(this, &FormSection::followRows, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void FormSection::followRows()
{
    // A box without a shown row would be an empty frame; the header and footer stay.
    const QList<QWidget*> all = rows();
    m_box->setVisible(std::any_of(all.cbegin(), all.cend(), [](QWidget* row) { return !row->isHidden(); }));
    update();
}

void FormSection::paintEvent(QPaintEvent*)
{
    if (m_box->isHidden())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor text = palette().color(QPalette::WindowText);
    QColor edge = text;
    edge.setAlphaF(0.12);
    const QRectF box = QRectF(m_box->geometry()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(box, boxRadius, boxRadius);

    // Hairlines between shown rows, indented like the rows' content.
    QColor divider = text;
    divider.setAlphaF(0.1);
    painter.setPen(QPen(divider, 1));
    painter.setRenderHint(QPainter::Antialiasing, false);
    bool first = true;
    for (QWidget* row : rows()) {
        if (row->isHidden())
            continue;
        if (!first) {
            const int y = m_box->y() + row->y();
            painter.drawLine(m_box->x() + rowPaddingX, y, m_box->x() + m_box->width() - rowPaddingX, y);
        }
        first = false;
    }
}

} // namespace kestrune
