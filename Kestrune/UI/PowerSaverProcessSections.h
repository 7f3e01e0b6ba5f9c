#pragma once

#include "Kestrune/Storage/PowerActionRecord.h"
#include "Kestrune/UI/PowerSaverRowGroup.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QLineEdit;
class QPushButton;
class QWidget;

namespace kestrune {

class AppState;
class FormSection;

// The power saver tab's last three sections: the processes it slowed down, each released with
// one press; the exclusion list with the names it proposes after repeated releases and a field
// to add one; and the action log.
class PowerSaverProcessSections : public QObject {
    Q_OBJECT

public:
    // The most records the action log lists.
    static constexpr int shownActions = 50;

    PowerSaverProcessSections(AppState& state, FormSection* throttled, FormSection* exclusions, FormSection* log,
                              QObject* parent = nullptr);
    ~PowerSaverProcessSections() override;

    // Lists `actions`, newest first.
    void showActions(const QList<PowerActionRecord>& actions);

    // `text` without the blanks around it: spaces of every script (the ideographic space a
    // Japanese input method types included) and tabs. Line breaks stay.
    static QString trimmedName(const QString& text);

private:
    void fillThrottled(FormSection* section);
    void fillExclusions(FormSection* section);
    void fillLog(FormSection* section);

    void showThrottled();
    void showSuggestions();
    void showExclusions();
    void addExclusion();
    void accept(const QString& name);

    AppState& m_state;
    FormSection* m_throttledSection = nullptr;
    std::unique_ptr<PowerSaverRowGroup> m_throttled;
    QWidget* m_noThrottled = nullptr;
    std::unique_ptr<PowerSaverRowGroup> m_suggestions;
    std::unique_ptr<PowerSaverRowGroup> m_exclusions;
    QLineEdit* m_newExclusion = nullptr;
    QPushButton* m_add = nullptr;
    std::unique_ptr<PowerSaverRowGroup> m_actions;
    QWidget* m_noActions = nullptr;
};

} // namespace kestrune
