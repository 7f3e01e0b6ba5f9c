#include "Kestrune/UI/PowerSaverView.h"

#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/Evaluation.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/GroupedForm.h"
#include "Kestrune/UI/PowerSaverAISections.h"
#include "Kestrune/UI/PowerSaverLearningSections.h"
#include "Kestrune/UI/PowerSaverProcessSections.h"
#include "Kestrune/UI/PowerSaverStatusSection.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/WhileShown.h"
#include "Platform/Symbols/SystemColors.h"

#include <QApplication>
#include <QPalette>
#include <QVBoxLayout>

#include <cmath>

namespace kestrune {

namespace {

struct Presentation {
    const char* action;
    const char* symbol;
    QColor (*color)();
};

QColor secondary()
{
    return Style::foreground(Style::Secondary, QApplication::palette().color(QPalette::WindowText));
}

const Presentation presentations[] = {
    {"level", "gauge.with.needle", &secondary},
    {"lpm", "leaf.fill", &SystemColors::green},
    {"dim", "sun.min.fill", &SystemColors::blue},
    {"service", "pause.circle.fill", &SystemColors::blue},
    {"throttle", "tortoise.fill", &SystemColors::orange},
    {"unthrottle", "hare.fill", &SystemColors::green},
    {"restore", "arrow.uturn.backward.circle.fill", &SystemColors::green},
    {"measure", "chart.line.uptrend.xyaxis", &SystemColors::teal},
    {"strategy", "brain.fill", &SystemColors::purple},
    {"report", "brain.fill", &SystemColors::purple},
    {"suggest", "lightbulb.fill", &SystemColors::yellow},
};
const Presentation otherKind{"", "circle.fill", &secondary};

const Presentation& presentationOf(const QString& action)
{
    for (const Presentation& presentation : presentations)
        if (action == QLatin1String(presentation.action))
            return presentation;
    return otherKind;
}

} // namespace

PowerSaverView::PowerSaverView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
{
    auto* whileShown = new WhileShown(this);
    auto* form = new GroupedForm(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);

    FormSection* status = form->addSection(Localized::text("状態"));
    FormSection* achievements = form->addSection(Localized::text("延命実績"));
    FormSection* aiEngine = form->addSection(Localized::text("AIエンジン(LLM)"));
    FormSection* aiReport = form->addSection(Localized::text("AI戦略とレポート"));
    FormSection* learning = form->addSection(Localized::text("学習済みの節電効果(このMacの実測)"));
    FormSection* settings = form->addSection(Localized::text("設定"));
    FormSection* services = form->addSection(Localized::text("バックグラウンドサービス(逼迫時に一時停止)"));
    // Its header carries the count, set with the list.
    FormSection* throttled = form->addSection();
    FormSection* exclusions = form->addSection(Localized::text("除外リスト(減速対象にしない)"));
    FormSection* log = form->addSection(Localized::text("アクションログ"));

    new PowerSaverStatusSection(state, status, this);
    m_ai = new PowerSaverAISections(state, std::move(openWindow), achievements, aiEngine, aiReport, this);
    m_learning = new PowerSaverLearningSections(state, learning, settings, services, this);
    m_processes = new PowerSaverProcessSections(state, throttled, exclusions, log, this);

    whileShown->onShow([this] {
        loadActions();
        m_ai->refresh();
        m_learning->refresh();
    });
    whileShown->connect(&state.powerSaver(), &PowerSaverEngine::statusTextChanged, [this] { loadActions(); });
    // The settings the autopilot decides by; the others wait for its next evaluation.
    const ChargingSettings* watched = &state.settings();
    const auto evaluate = [&state] { Evaluation::start(state); };
    whileShown->connect(watched, &ChargingSettings::autopilotEnabledChanged, evaluate);
    whileShown->connect(watched, &ChargingSettings::autoDimEnabledChanged, evaluate);
    whileShown->connect(watched, &ChargingSettings::targetAutoLearnChanged, evaluate);
    whileShown->connect(watched, &ChargingSettings::powerLevelAutoChanged, evaluate);
    whileShown->connect(watched, &ChargingSettings::manualPowerLevelChanged, evaluate);
}

PowerSaverView::~PowerSaverView() = default;

QString PowerSaverView::hoursText(double hours)
{
    if (!std::isfinite(hours))
        return QStringLiteral("-");
    const long long whole = Rounding::towardZero(hours);
    const long long minutes = Rounding::towardZero((hours - double(whole)) * 60);
    if (whole < 1)
        return Localized::fmt("%lld分", minutes);
    return Localized::fmt("%lld時間%lld分", whole, minutes);
}

QString PowerSaverView::iconFor(const QString& action)
{
    return QString::fromLatin1(presentationOf(action).symbol);
}

QColor PowerSaverView::colorFor(const QString& action)
{
    return presentationOf(action).color();
}

void PowerSaverView::loadActions()
{
    const HistoryStore* history = m_state.history();
    m_actions = history ? history->recentPowerActions(PowerSaverProcessSections::shownActions) : QList<PowerActionRecord>();
    m_processes->showActions(m_actions);
}

} // namespace kestrune
