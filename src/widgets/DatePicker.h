#pragma once

#include "data/Dates.h"

#include <QDateEdit>

// A date field as people type into it: a whole date, "2024-03-15", "2024/3/5" or
// "20240315", typed from its start; a separator moves to the next part unless the
// part before was already complete. A whole date typed over the selected field
// (after Ctrl+A, or on coming to it with Tab or Shift+Tab) gives that date. Tab
// leaves the field for the next one instead of stepping through year, month and
// day. An optional picker may hold no date: it then reads "未填写", Delete empties
// it, and typing or the calendar gives it one.
class DatePicker : public QDateEdit
{
    Q_OBJECT
public:
    using QDateEdit::QDateEdit;

    void setOptional(bool optional);
    bool isOptional() const { return m_optional; }
    // An optional picker holding no date.
    bool isEmpty() const;
    void clear() override;
    // The date as stored ("yyyy-MM-dd"); empty text when the picker holds none.
    QString dateText() const;
    // Shows a stored date; a text that is no date empties an optional picker and
    // leaves another as it was.
    void setDateText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Typing starts over from the year: the first part selected.
    void startAtYear();

    // The last digit filled its part and moved on to the next by itself.
    bool m_movedOn = false;
    bool m_optional = false;
};

// A date picker as every window shows one: a calendar pop-up and the stored format.
inline QDateEdit *makeDatePicker(QWidget *parent, const QString &objectName,
                                 const QDate &date = QDate::currentDate())
{
    auto *picker = new DatePicker(date, parent);
    picker->setObjectName(objectName);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(dateFormat());
    return picker;
}
