#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrune::demo {

// A plausible stretch of everyday use written into a history store, the same on every run:
// readings every 55 s through weekdays of two battery sessions (morning and evening) and
// weekends of one long one, charging held at the limit on the adapter; a plug event at
// every change of power; the power saver's work in each battery session (every kind of
// action the log knows, measured outcomes) and the savings ledger of each day.
//
// Texts of the log are written in the interface language installed when it runs, as the
// engines write them.
class DemoHistory {
public:
    struct Options {
        QDateTime end; // the last reading is at or just before it
        double days = 30; // 0: nothing at all
        int chargeLimit = 80;
        qint64 sampleSpacingSeconds = 55;
    };

    // What was written.
    struct Written {
        int samples = 0;
        int plugEvents = 0;
        int actions = 0;
        int outcomes = 0;
        int savingsDays = 0;
    };

    // Opens (or creates) the store at `path` and adds the history to it. Nothing, and the
    // reason in `error`, when the store cannot be opened or a row cannot be written.
    static std::optional<Written> seed(const QString& path, const Options& options, QString* error = nullptr);
};

} // namespace kestrune::demo
