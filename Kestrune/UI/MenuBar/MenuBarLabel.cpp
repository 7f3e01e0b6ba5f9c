#include "Kestrune/UI/MenuBar/MenuBarLabel.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/MenuBar/LabelIconEngine.h"
#include "Platform/Symbols/SymbolIcon.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kestrune {

namespace {

const QColor strokeColor(250, 250, 250);
const QColor rimColor(20, 20, 20, 190);

// The drawing in one colour: its shape kept, every pixel of it `color`.
QImage tinted(const QImage& shape, const QColor& color)
{
    QImage image = shape;
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

// The shape grown by `radius` pixels all round, in `color`: each pixel takes the strongest
// coverage within the radius.
QImage rimOf(const QImage& shape, int radius, const QColor& color)
{
    QImage rim(shape.size(), QImage::Format_ARGB32_Premultiplied);
    rim.setDevicePixelRatio(shape.devicePixelRatio());
    const int width = shape.width();
    const int height = shape.height();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(rim.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int coverage = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                if (y + dy < 0 || y + dy >= height)
                    continue;
                const auto* source = reinterpret_cast<const QRgb*>(shape.constScanLine(y + dy));
                for (int dx = -radius; dx <= radius; ++dx)
                    if (x + dx >= 0 && x + dx < width && dx * dx + dy * dy <= radius * radius)
                        coverage = std::max(coverage, qAlpha(source[x + dx]));
            }
            const int alpha = coverage * color.alpha() / 255;
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), alpha));
        }
    }
    return rim;
}

// The largest bold font of the application's face in which `text` fits `box`.
QFont fittedFont(const QString& text, const QSizeF& box)
{
    QFont font = QGuiApplication::font();
    font.setWeight(QFont::Bold);
    for (qreal pixels = box.height(); pixels >= 4; pixels -= 0.5) {
        font.setPixelSize(int(pixels));
        const QFontMetricsF metrics(font);
        if (metrics.horizontalAdvance(text) <= box.width() && metrics.capHeight() <= box.height())
            break;
    }
    return font;
}

} // namespace

MenuBarLabel::MenuBarLabel(AppState& state, OpenWindow openWindow, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_openWindow(std::move(openWindow))
{
    ChargingSettings& settings = state.settings();
    ChargeController& controller = state.controller();
    connect(&state, &AppState::snapshotChanged, this, &MenuBarLabel::refresh);
    connect(&settings, &ChargingSettings::showPercentInMenuBarChanged, this, &MenuBarLabel::refresh);
    connect(&controller, &ChargeController::isDischargingChanged, this, &MenuBarLabel::refresh);
    connect(&controller, &ChargeController::isHoldingChanged, this, &MenuBarLabel::refresh);
    refresh();
}

QString MenuBarLabel::symbolName(const std::optional<BatterySnapshot>& snapshot, bool isDischarging, bool isHolding)
{
    if (!snapshot)
        return QStringLiteral("battery.50percent");
    if (snapshot->externalConnected) {
        if (isDischarging)
            return QStringLiteral("arrow.down.circle");
        if (snapshot->isCharging)
            return QStringLiteral("battery.100percent.bolt");
        if (isHolding)
            return QStringLiteral("powerplug.fill");
        return QStringLiteral("powerplug");
    }
    const int soc = snapshot->socPercent;
    if (soc <= 12)
        return QStringLiteral("battery.0percent");
    if (soc <= 37)
        return QStringLiteral("battery.25percent");
    if (soc <= 62)
        return QStringLiteral("battery.50percent");
    if (soc <= 87)
        return QStringLiteral("battery.75percent");
    return QStringLiteral("battery.100percent");
}

QString MenuBarLabel::toolTip() const
{
    return m_text.isEmpty() ? Localized::text("Kestrune") : m_text;
}

void MenuBarLabel::refresh()
{
    const std::optional<BatterySnapshot>& snapshot = m_state.snapshot();
    const ChargeController& controller = m_state.controller();
    const QString symbol = symbolName(snapshot, controller.isDischarging(), controller.isHolding());
    const QString text = m_state.settings().showPercentInMenuBar() && snapshot
        ? QString::number(snapshot->socPercent) + u'%'
        : QString();
    if (symbol == m_symbol && text == m_text)
        return;
    m_symbol = symbol;
    m_text = text;
    m_icon = QIcon(new LabelIconEngine(m_symbol, m_text));
    emit changed();
}

QPixmap MenuBarLabel::draw(const QString& symbol, const QString& text, int side, qreal devicePixelRatio)
{
    const int pixels = int(std::ceil(side * devicePixelRatio));
    QImage shape(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    shape.setDevicePixelRatio(devicePixelRatio);
    shape.fill(Qt::transparent);
    {
        // The symbol alone fills the square; with a text it keeps the upper part and the text
        // runs across the lower part, shrunk until it fits.
        QPainter painter(&shape);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal margin = std::max(1.0, side / 16.0);
        if (text.isEmpty()) {
            SymbolIcon::paint(painter, QRectF(0, 0, side, side), symbol, Qt::black);
        } else {
            const qreal symbolSide = side * 0.62;
            SymbolIcon::paint(painter, QRectF((side - symbolSide) / 2, -side * 0.04, symbolSide, symbolSide), symbol,
                              Qt::black);
            const QRectF box(margin, side * 0.56, side - 2 * margin, side * 0.44 - margin);
            const QFont font = fittedFont(text, box.size());
            const QFontMetricsF metrics(font);
            QPainterPath path;
            path.addText(box.center().x() - metrics.horizontalAdvance(text) / 2,
                         box.center().y() + metrics.capHeight() / 2, font, text);
            painter.fillPath(path, Qt::black);
        }
    }

    // The rim: the shape grown by about a pixel, in a dark colour, under the light strokes.
    QImage result = rimOf(shape, std::max(1, int(std::lround(pixels / 22.0))), rimColor);
    QPainter painter(&result);
    painter.drawImage(QPointF(0, 0), tinted(shape, strokeColor));
    painter.end();
    return QPixmap::fromImage(result);
}

void MenuBarLabel::appear()
{
    if (m_appeared)
        return;
    m_appeared = true;
    handleWindowRequest();
    // A share request from before stays unanswered; the next one opens the window. Handled
    // from the event loop, so that requests made together are consumed together.
    connect(&m_state, &AppState::windowRequestTickChanged, this, &MenuBarLabel::handleWindowRequest,
            Qt::QueuedConnection);
    connect(&m_state, &AppState::shareRequestTickChanged, this, &MenuBarLabel::handleShareRequest,
            Qt::QueuedConnection);
}

void MenuBarLabel::handleWindowRequest()
{
    const int tick = m_state.windowRequestTick();
    if (m_handledTick >= tick)
        return;
    m_handledTick = tick;
    m_openWindow(m_state.onboardingCompleted() ? QStringLiteral("main") : QStringLiteral("onboarding"));
}

void MenuBarLabel::handleShareRequest()
{
    const int tick = m_state.shareRequestTick();
    if (m_handledShareTick >= tick)
        return;
    m_handledShareTick = tick;
    m_openWindow(QStringLiteral("share"));
}

} // namespace kestrune
