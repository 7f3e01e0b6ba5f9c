#include "Platform/Symbols/SymbolIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QStandardPaths>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace kestrune {

namespace {

const QString fallbackTheme = QStringLiteral("breeze");

struct Mapping {
    const char* symbol;
    QStringList names;
};

const std::vector<Mapping>& mappings()
{
    static const std::vector<Mapping> table{
        // The menu-bar label: nine states that must stay told apart. Breeze has no plug, so the
        // two plug states end in names that still differ from every battery level.
        {"battery.0percent", {"battery-000"}},
        {"battery.25percent", {"battery-020"}},
        {"battery.50percent", {"battery-050"}},
        {"battery.75percent", {"battery-070"}},
        {"battery.100percent", {"battery-100"}},
        {"battery.100percent.bolt", {"battery-100-charging"}},
        {"powerplug", {"ac-adapter", "preferences-system-power-management"}},
        {"powerplug.fill", {"battery-full-charged", "media-playback-pause"}},
        {"arrow.down.circle", {"download"}},
        // The popover.
        {"bolt.fill", {"battery-100-charging"}},
        {"exclamationmark.triangle.fill", {"dialog-warning"}},
        {"sparkles", {"draw-star"}},
        {"square.and.arrow.up", {"document-share"}},
        {"tortoise.fill", {"speedometer"}},
        {"brain.fill", {"tools-wizard"}},
        // A heart wherever the battery's health shows. The favourite emblem is a heart in some
        // themes and a star in breeze; the love emote and breeze's "love" are hearts.
        {"heart", {"emote-love", "love"}},
        {"arrow.triangle.2.circlepath", {"view-refresh"}},
        {"thermometer.medium", {"temperature-normal"}},
        // The main window's tabs.
        {"leaf", {"preferences-system-power-management"}},
        {"gauge.with.dots.needle.50percent", {"utilities-system-monitor"}},
        {"slider.horizontal.3", {"configure"}},
        {"brain", {"tools-wizard"}},
        {"gearshape", {"preferences-system"}},
        // Rows, notes and the action log.
        // Breeze's small dialog-warning is a speech bubble; the warning label wants the triangle.
        {"exclamationmark.triangle", {"data-warning"}},
        {"heart.fill", {"emote-love", "love"}},
        {"bolt.badge.clock", {"appointment-soon", "chronometer"}},
        {"doc.text.fill", {"text-x-generic"}},
        {"stethoscope", {"dialog-information"}},
        {"hand.raised.fill", {"hand"}},
        {"lightbulb.fill", {"help-hint"}},
        {"minus.circle", {"list-remove"}},
        {"gauge.with.needle", {"speedometer"}},
        {"leaf.fill", {"preferences-system-power-management"}},
        {"sun.min.fill", {"display-brightness", "brightness-low"}},
        {"pause.circle.fill", {"media-playback-pause"}},
        {"hare.fill", {"media-seek-forward"}},
        {"arrow.uturn.backward.circle.fill", {"edit-undo"}},
        {"chart.line.uptrend.xyaxis", {"office-chart-line"}},
        {"circle.fill", {"media-record"}},
        // Onboarding.
        {"bolt.batteryblock.fill", {"battery-full-charging"}},
        {"bell.badge.fill", {"notification-active", "preferences-desktop-notification-bell"}},
        {"bell", {"notifications"}},
        {"checkmark.circle.fill", {"emblem-default", "emblem-success"}},
        {"bolt.shield.fill", {"security-high"}},
        {"bolt.shield", {"security-medium"}},
        {"checkmark.seal.fill", {"emblem-checked"}},
        // The savings card and the share window.
        {"flame.fill", {"games-highscores"}},
        {"square.and.arrow.up.fill", {"document-share"}},
        {"command.square.fill", {"input-keyboard"}},
    };
    return table;
}

// The folder of `theme` on the icon search path, or empty.
QString themeFolder(const QString& theme)
{
    for (const QString& path : QIcon::themeSearchPaths()) {
        const QString folder = path + u'/' + theme;
        if (QFileInfo::exists(folder + QStringLiteral("/index.theme")))
            return folder;
    }
    return {};
}

void ensureFallbackTheme()
{
    if (QIcon::fallbackThemeName() != fallbackTheme)
        QIcon::setFallbackThemeName(fallbackTheme);
    // Without a desktop (the offscreen platform, a bare X server) Qt has no theme and looks
    // nowhere, not even in the fallback.
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(fallbackTheme);
    // Nor does it always search the system's icon folders then.
    if (!themeFolder(fallbackTheme).isEmpty())
        return;
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList system = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                         QStandardPaths::LocateDirectory);
    for (const QString& folder : system)
        if (!paths.contains(folder))
            paths << folder;
    QIcon::setThemeSearchPaths(paths);
}

// Breeze's drawing of `name`, from its largest size folder (the drawings are SVG and scale).
QString breezeFile(const QString& name)
{
    const QString root = themeFolder(fallbackTheme);
    if (root.isEmpty())
        return {};
    // The search looks into every size folder of the theme. Under a theme without our names it
    // would run for each symbol drawn, again and again (every row of the action log), so each
    // answer is kept: the installed theme does not change while we run.
    static QHash<QString, QString> found;
    const QString key = root + u'/' + name;
    if (const auto known = found.constFind(key); known != found.cend())
        return *known;
    QString best;
    int bestSize = 0;
    const QDir themeDir(root);
    for (const QString& context : themeDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir contextDir(themeDir.filePath(context));
        for (const QString& size : contextDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool isNumber = false;
            const int pixels = size.toInt(&isNumber); // scaled copies ("22@2x") draw the same
            const QString file = contextDir.filePath(size) + u'/' + name + QStringLiteral(".svg");
            if (isNumber && pixels > bestSize && QFileInfo::exists(file)) {
                best = file;
                bestSize = pixels;
            }
        }
    }
    found.insert(key, best);
    return best;
}

std::pair<QString, QIcon> resolve(const QString& symbol)
{
    const QStringList names = SymbolIcon::iconNames(symbol);
    if (names.isEmpty())
        return {};
    ensureFallbackTheme();
    for (const QString& name : names)
        if (QIcon::hasThemeIcon(name))
            return {name, QIcon::fromTheme(name)};
    // A theme that names its own parents (Adwaita inherits only hicolor) never reaches Qt's
    // fallback theme, so breeze is asked directly.
    const QString file = breezeFile(names.last());
    if (file.isEmpty())
        return {};
    return {names.last(), QIcon(file)};
}

} // namespace

QStringList SymbolIcon::symbolNames()
{
    QStringList names;
    for (const Mapping& mapping : mappings())
        names << QString::fromLatin1(mapping.symbol);
    return names;
}

QStringList SymbolIcon::iconNames(const QString& symbol)
{
    for (const Mapping& mapping : mappings())
        if (symbol == QLatin1String(mapping.symbol))
            return mapping.names;
    return {};
}

QString SymbolIcon::resolvedName(const QString& symbol)
{
    return resolve(symbol).first;
}

QIcon SymbolIcon::icon(const QString& symbol)
{
    return resolve(symbol).second;
}

void SymbolIcon::paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color)
{
    const QIcon drawing = icon(symbol);
    const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(qCeil(rect.width() * scale), qCeil(rect.height() * scale));
    if (drawing.isNull() || pixels.isEmpty())
        return;
    const QImage source = drawing.pixmap(pixels, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);

    // Theme icons carry their own colours. Ink is how dark and opaque a pixel is; the darkest
    // pixel of the drawing becomes the full colour, so a dark grey outline draws as solid as
    // black would, and white details (a bolt inside a battery) stay as holes.
    std::vector<float> ink(size_t(source.width()) * size_t(source.height()));
    float strongest = 0;
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const QRgb pixel = line[x];
            const float lightness = (0.299f * qRed(pixel) + 0.587f * qGreen(pixel) + 0.114f * qBlue(pixel)) / 255.f;
            const float value = qAlpha(pixel) / 255.f * (1.f - lightness);
            ink[size_t(y) * size_t(source.width()) + size_t(x)] = value;
            strongest = std::max(strongest, value);
        }
    }
    if (strongest <= 0)
        return;

    QImage tinted(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < tinted.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(tinted.scanLine(y));
        for (int x = 0; x < tinted.width(); ++x) {
            const float alpha = ink[size_t(y) * size_t(source.width()) + size_t(x)] / strongest * float(color.alphaF());
            line[x] = qRgba(color.red(), color.green(), color.blue(), int(std::lround(alpha * 255.f)));
        }
    }
    painter.drawImage(rect, tinted);
}

} // namespace kestrune
