#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace kestrune {

// One titled group of a GroupedForm: a header, a rounded box of rows divided by hairlines, and
// a footer note. Rows are label–value pairs or whole-width content, and can be hidden; the
// dividers follow the rows that are shown.
class FormSection : public QWidget {
    Q_OBJECT

public:
    explicit FormSection(const QString& header = {}, QWidget* parent = nullptr);

    // An empty header or footer takes no room.
    void setHeader(const QString& header);
    QLabel* header() const { return m_header; }
    void setFooter(const QString& footer);
    QLabel* footer() const { return m_footer; }

    // A row with `label` on the leading side and `value` on the trailing side; returns the
    // row, to be shown or hidden as a whole, or deleted. A text value is shown as plain text.
    QWidget* addRow(const QString& label, QWidget* value);
    // A row whose content spans the box: a toggle, a picker, a stack of the view's own.
    QWidget* addRow(QWidget* content);
    // The same rows placed before the row at `index`, for lists that grow and shrink above
    // rows that stay.
    QWidget* insertRow(int index, const QString& label, QWidget* value);
    QWidget* insertRow(int index, QWidget* content);
    // A label–value row whose value is a text the view fills in: plain text, at the
    // trailing edge, wrapping when long. Returns the value, named `valueName`.
    QLabel* addTextRow(const QString& label, const QString& valueName);
    // A row holding a note in the caption font and the secondary style.
    QLabel* addNote(const QString& text);

    // The rows in order, shown or not.
    QList<QWidget*> rows() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* insert(int index, QWidget* row);
    void followRows();

    QLabel* m_header;
    QWidget* m_box;
    QVBoxLayout* m_boxLayout;
    QLabel* m_footer;
};

} // namespace kestrune
