#include "Kestrune/UI/SymbolLabel.h"

#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/Style.h"
#include "Platform/Symbols/SystemColors.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace kestrune {

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_icon(new QLabel(this))
    , m_text(new QLabel(text, this))
{
    m_icon->setObjectName(QStringLiteral("symbol"));
    m_text->setObjectName(QStringLiteral("text"));
    PlainText::apply(m_text);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    // The symbol stays beside the first line when the text wraps.
    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    drawSymbol();
}

SymbolLabel* SymbolLabel::warning(const QString& text, QWidget* parent)
{
    auto* label = new SymbolLabel(QStringLiteral("exclamationmark.triangle"), text, parent);
    Style::apply(label, Style::Caption, SystemColors::orange());
    label->setWordWrap(true);
    return label;
}

void SymbolLabel::setSymbol(const QString& symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    drawSymbol();
}

QString SymbolLabel::text() const
{
    return m_text->text();
}

void SymbolLabel::setText(const QString& text)
{
    m_text->setText(text);
}

void SymbolLabel::setWordWrap(bool wrap)
{
    m_text->setWordWrap(wrap);
}

void SymbolLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
        drawSymbol();
        break;
    default:
        break;
    }
}

void SymbolLabel::drawSymbol()
{
    // As tall as a line of the text, beside its first line; the theme's drawings leave their
    // own margin around the figure.
    const QFontMetrics metrics(font());
    const int side = metrics.height();
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    m_icon->setPixmap(Style::symbol(m_symbol, palette().color(group, foregroundRole()), side, devicePixelRatioF()));
    m_icon->setFixedSize(side, side);
}

} // namespace kestrune
