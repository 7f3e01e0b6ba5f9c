#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace kestrune {

// A symbol followed by a text, both in the label's font and foreground colour. The text is
// plain text: engine and backend texts are shown as they are, never read as markup.
class SymbolLabel : public QWidget {
    Q_OBJECT

public:
    SymbolLabel(const QString& symbol, const QString& text, QWidget* parent = nullptr);

    // The orange caption with a warning triangle that views show while the helper is not
    // connected, and for the helper's errors.
    static SymbolLabel* warning(const QString& text, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    QString text() const;
    void setText(const QString& text);
    // Long texts wrap onto further lines instead of widening the row.
    void setWordWrap(bool wrap);

protected:
    void changeEvent(QEvent* event) override;

private:
    void drawSymbol();

    QString m_symbol;
    QLabel* m_icon;
    QLabel* m_text;
};

} // namespace kestrune
