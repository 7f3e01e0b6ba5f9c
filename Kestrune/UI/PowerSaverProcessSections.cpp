#include "Kestrune/UI/PowerSaverProcessSections.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "Kestrune/UI/PowerSaverWidgets.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SymbolIcon.h"
#include "Platform/Symbols/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace kestrune {

namespace {

SymbolLabel* symbol(const QString& name, const QColor& color)
{
    auto* symbol = new SymbolLabel(name, {});
    symbol->setObjectName(QStringLiteral("symbol"));
    Style::setColor(symbol, color);
    return symbol;
}

QWidget* logRow(const PowerActionRecord& record, const LocalCalendar& calendar)
{
    QLabel* time = PowerSaverWidgets::label(PowerSaverWidgets::dateText(record.timestamp, calendar,
                                                                        Localized::text("M月d日 H:mm")),
                                            Style::Caption, Style::Secondary);
    Style::setMonospacedDigits(time);
    time->setFixedWidth(96);
    SymbolLabel* icon = symbol(PowerSaverView::iconFor(record.action), PowerSaverView::colorFor(record.action));
    icon->setFont(Style::font(Style::Caption));
    icon->setMinimumWidth(16);
    QLabel* detail = PowerSaverWidgets::label(record.detail, Style::Caption);
    detail->setObjectName(QStringLiteral("detail"));
    detail->setWordWrap(true);

    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    // Side by side along the first line, however many lines the detail takes.
    layout->addWidget(time, 0, Qt::AlignTop);
    layout->addWidget(icon, 0, Qt::AlignTop | Qt::AlignHCenter);
    layout->addWidget(detail, 1, Qt::AlignTop);
    return row;
}

} // namespace

PowerSaverProcessSections::PowerSaverProcessSections(AppState& state, FormSection* throttled, FormSection* exclusions,
                                                     FormSection* log, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
    fillThrottled(throttled);
    fillExclusions(exclusions);
    fillLog(log);
    showThrottled();
    showSuggestions();
    showExclusions();
    showActions({});
}

PowerSaverProcessSections::~PowerSaverProcessSections() = default;

QString PowerSaverProcessSections::trimmedName(const QString& text)
{
    const auto blank = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.sliced(begin, end - begin);
}

void PowerSaverProcessSections::fillThrottled(FormSection* section)
{
    m_throttledSection = section;
    m_throttled = std::make_unique<PowerSaverRowGroup>(section);
    m_noThrottled = section->addRow(
        PowerSaverWidgets::label(Localized::text("現在減速中のプロセスはありません。"), Style::Body, Style::Secondary));
    m_noThrottled->setObjectName(QStringLiteral("noThrottled"));
    connect(&m_state.powerSaver(), &PowerSaverEngine::throttledProcessesChanged, this,
            &PowerSaverProcessSections::showThrottled);
}

void PowerSaverProcessSections::fillExclusions(FormSection* section)
{
    m_suggestions = std::make_unique<PowerSaverRowGroup>(section);
    m_exclusions = std::make_unique<PowerSaverRowGroup>(section);

    m_newExclusion = new QLineEdit;
    m_newExclusion->setObjectName(QStringLiteral("newExclusion"));
    m_newExclusion->setPlaceholderText(Localized::text("アプリ名(部分一致)"));
    m_add = new QPushButton(Localized::text("追加"));
    m_add->setObjectName(QStringLiteral("addExclusion"));
    m_add->setAutoDefault(false);
    m_add->setEnabled(false);
    section->addRow(PowerSaverWidgets::line({m_newExclusion, m_add}));
    connect(m_newExclusion, &QLineEdit::returnPressed, this, &PowerSaverProcessSections::addExclusion);
    connect(m_add, &QPushButton::clicked, this, &PowerSaverProcessSections::addExclusion);
    connect(m_newExclusion, &QLineEdit::textChanged, m_add,
            [this](const QString& text) { m_add->setEnabled(!trimmedName(text).isEmpty()); });

    connect(&m_state.savings(), &SavingsModel::exclusionSuggestionsChanged, this,
            &PowerSaverProcessSections::showSuggestions);
    connect(&m_state.settings(), &ChargingSettings::powerExclusionsChanged, this,
            &PowerSaverProcessSections::showExclusions);
}

void PowerSaverProcessSections::fillLog(FormSection* section)
{
    m_actions = std::make_unique<PowerSaverRowGroup>(section);
    m_noActions
        = section->addRow(PowerSaverWidgets::label(Localized::text("まだアクションはありません。"), Style::Body, Style::Secondary));
    m_noActions->setObjectName(QStringLiteral("noActions"));
}

void PowerSaverProcessSections::showThrottled()
{
    const ThrottledProcessMap throttled = m_state.powerSaver().throttledProcesses();
    m_throttledSection->setHeader(Localized::fmt("減速中のプロセス(%lld件)", qint64(throttled.size())));
    QList<std::pair<qint64, QString>> processes;
    for (auto it = throttled.cbegin(); it != throttled.cend(); ++it)
        processes.append({it.key(), it.value()});
    std::stable_sort(processes.begin(), processes.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });

    m_throttled->clear();
    PowerSaverEngine* engine = &m_state.powerSaver();
    for (const auto& [pid, name] : std::as_const(processes)) {
        QLabel* process = PowerSaverWidgets::label(name);
        process->setObjectName(QStringLiteral("processName"));
        QPushButton* release = PowerSaverWidgets::smallButton(Localized::text("解除"));
        release->setObjectName(QStringLiteral("release"));
        // The engine answers a second press while the first waits for the daemon with nothing.
        connect(release, &QPushButton::clicked, engine,
                [engine, pid] { QTimer::singleShot(0, engine, [engine, pid] { engine->unthrottle(pid); }); });
        m_throttled
            ->add(PowerSaverWidgets::line(
                {symbol(QStringLiteral("tortoise.fill"), SystemColors::orange()), process,
                 PowerSaverWidgets::label(Localized::fmt("PID %lld", pid), Style::Caption, Style::Tertiary), nullptr,
                 release}))
            ->setObjectName(QStringLiteral("throttledRow"));
    }
    m_noThrottled->setVisible(processes.isEmpty());
}

void PowerSaverProcessSections::showSuggestions()
{
    m_suggestions->clear();
    SavingsModel* savings = &m_state.savings();
    for (const QString& name : savings->exclusionSuggestions()) {
        auto* question = new SymbolLabel(QStringLiteral("lightbulb.fill"),
                                         Localized::fmt("「%@」を除外リストに追加しますか?(解除操作から学習)", name));
        Style::apply(question, Style::Caption, SystemColors::yellow());
        question->setWordWrap(true);
        QPushButton* add = PowerSaverWidgets::smallButton(Localized::text("追加"));
        add->setObjectName(QStringLiteral("acceptSuggestion"));
        QPushButton* ignore = PowerSaverWidgets::smallButton(Localized::text("無視"));
        ignore->setObjectName(QStringLiteral("ignoreSuggestion"));
        connect(add, &QPushButton::clicked, this, [this, name] { accept(name); });
        connect(ignore, &QPushButton::clicked, savings,
                [savings, name] { savings->resolveSuggestion(name, true); });
        QWidget* row = PowerSaverWidgets::line({question, add, ignore});
        PowerSaverWidgets::stretch(row, question);
        m_suggestions->add(row)->setObjectName(QStringLiteral("suggestionRow"));
    }
}

void PowerSaverProcessSections::accept(const QString& name)
{
    ChargingSettings& settings = m_state.settings();
    if (!settings.powerExclusions().contains(name))
        settings.setPowerExclusions(settings.powerExclusions() << name);
    // Resolved also when the name was listed already: the question has its answer.
    m_state.savings().resolveSuggestion(name, false);
}

void PowerSaverProcessSections::showExclusions()
{
    m_exclusions->clear();
    ChargingSettings* settings = &m_state.settings();
    for (const QString& entry : settings->powerExclusions()) {
        auto* remove = new QPushButton;
        remove->setObjectName(QStringLiteral("removeExclusion"));
        remove->setFlat(true);
        remove->setIcon(SymbolIcon::icon(QStringLiteral("minus.circle")));
        PlainText::setToolTip(remove, entry);
        connect(remove, &QPushButton::clicked, settings, [settings, entry] {
            QStringList exclusions = settings->powerExclusions();
            exclusions.removeAll(entry);
            settings->setPowerExclusions(exclusions);
        });
        QLabel* name = PowerSaverWidgets::label(entry);
        name->setObjectName(QStringLiteral("exclusion"));
        m_exclusions->add(PowerSaverWidgets::line({name, nullptr, remove}))->setObjectName(QStringLiteral("exclusionRow"));
    }
}

void PowerSaverProcessSections::addExclusion()
{
    const QString name = trimmedName(m_newExclusion->text());
    ChargingSettings& settings = m_state.settings();
    // An empty or already listed name leaves the field as typed, to be corrected.
    if (name.isEmpty() || settings.powerExclusions().contains(name))
        return;
    settings.setPowerExclusions(settings.powerExclusions() << name);
    m_newExclusion->clear();
}

void PowerSaverProcessSections::showActions(const QList<PowerActionRecord>& actions)
{
    m_actions->clear();
    const qsizetype shown = std::min<qsizetype>(actions.size(), shownActions);
    for (qsizetype i = 0; i < shown; ++i)
        m_actions->add(logRow(actions.at(i), m_state.calendar()))->setObjectName(QStringLiteral("actionRow"));
    m_noActions->setVisible(actions.isEmpty());
}

} // namespace kestrune
