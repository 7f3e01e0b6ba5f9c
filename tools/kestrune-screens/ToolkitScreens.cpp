#include "tools/kestrune-screens/ToolkitScreens.h"

#include "Foundation/Localized.h"
#include "Kestrune/Share/SharePeriod.h"
#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/GroupedForm.h"
#include "Kestrune/UI/ProportionalBar.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kestrune {

namespace {

QLabel* text(const QString& string, Style::TextStyle style, Style::Foreground foreground = Style::Primary)
{
    auto* label = new QLabel(string);
    Style::apply(label, style, foreground);
    return label;
}

// A bar and its figure, as a list of measured processes shows them.
QWidget* measured(double share, double figure)
{
    auto* value = new QWidget;
    auto* layout = new QHBoxLayout(value);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new ProportionalBar(QSize(160, 8), 3);
    bar->setGradient(true);
    bar->setValue(share);
    layout->addWidget(bar);
    QLabel* number = text(QString::number(figure, 'f', 1), Style::Caption, Style::Secondary);
    Style::setMonospacedDigits(number);
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    number->setFixedWidth(52);
    layout->addWidget(number);
    return value;
}

void savingsSection(GroupedForm& form)
{
    FormSection* section = form.addSection(Localized::text("今週の実績"));
    auto* picker = new SegmentedPicker;
    for (const SharePeriod period : SharePeriod::allCases())
        picker->addSegment(period.label(), period.rawValue());
    picker->setValue(SharePeriod(SharePeriod::Week).rawValue());
    section->addRow(picker);
    QLabel* today = text(Localized::fmt("%lld時間%lld分", 2, 15), Style::Body);
    Style::setColor(today, SystemColors::green());
    section->addRow(SharePeriod(SharePeriod::Today).label(), today);
    section->addRow(SharePeriod(SharePeriod::Week).label(), text(Localized::fmt("%lld時間", 10), Style::Body));
    section->addRow(SharePeriod(SharePeriod::Total).label(), text(QStringLiteral("-"), Style::Body, Style::Secondary))
        ->hide();
    section->addRow(Localized::text("最大節電モード"), text(Localized::fmt("%lld日連続", 5), Style::Callout));
    section->setFooter(Localized::text("AI節電の実績をシェアして自慢しましょう。タップでシェア画面を開きます。"));
}

void levelSection(GroupedForm& form)
{
    FormSection* section = form.addSection(Localized::text("AI節電レポート"));
    const QColor colors[] = {SystemColors::gray(), SystemColors::green(), SystemColors::orange(), SystemColors::red()};
    const QStringList names = {Localized::text("待機"), Localized::text("標準節電"), Localized::text("強化節電"),
                               Localized::text("最大節電")};
    for (int level = 0; level < 4; ++level) {
        auto* badge = new CapsuleLabel;
        badge->setText(QStringLiteral("L%1").arg(level));
        Style::apply(badge, Style::Caption);
        Style::setWeight(badge, QFont::Bold);
        badge->setColors(colors[level]);
        section->addRow(names[level], badge);
    }
    auto* strategy = new SymbolLabel(QStringLiteral("brain.fill"), Localized::text("AI戦略適用中"));
    Style::apply(strategy, Style::Callout, SystemColors::purple());
    section->addRow(strategy);
    section->addRow(SymbolLabel::warning(Localized::text("ヘルパー未接続(監視のみ)")));
    auto* confidence = new ProportionalBar(QSize(60, 6), 2);
    confidence->setColor(SystemColors::yellow());
    confidence->setValue(0.6);
    section->addRow(Localized::text("Time Machine一時停止"), confidence);
    section->addNote(Localized::text("手動の輝度変更を検知 — このセッションの自動減光を停止(好みを学習)"));
}

void processSection(GroupedForm& form)
{
    FormSection* section = form.addSection(Localized::fmt("%lld件減速中", 10));
    const std::pair<const char*, double> processes[] = {
        {"firefox", 48.2},   {"code", 31.7},        {"thunderbird", 20.4},      {"chromium", 12.9},
        {"slack", 9.3},      {"plasmashell", 5.1},  {"tracker-miner-fs", 2.6}, {"baloo_file", 1.2},
        {"pipewire", 0.4},   {"kwin_x11", 0.0},
    };
    for (const auto& [name, impact] : processes)
        section->addRow(QString::fromLatin1(name), measured(impact / 48.2, impact));
}

} // namespace

bool toolkitScreens(const ScreenFolder& folder)
{
    GroupedForm form;
    form.setObjectName(QStringLiteral("toolkitForm"));
    savingsSection(form);
    levelSection(form);
    processSection(form);
    // Much shorter than the form: the picture must still show all of it.
    form.resize(520, 320);
    return folder.write(QStringLiteral("toolkit-form"), form);
}

} // namespace kestrune
