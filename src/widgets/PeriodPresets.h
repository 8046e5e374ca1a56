#pragma once

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDateEdit;

// A drop-down of the usual periods (本月, 上月, 今年, 去年, 近12个月) for two date
// pickers: choosing one sets both to the household months of the book that is
// open, and ticks the period's check box when there is one. The caller places it.
QComboBox *makePeriodPresets(QDateEdit *from, QDateEdit *to, QCheckBox *box = nullptr);
// The same, added to a row after the pickers.
QComboBox *addPeriodPresets(QBoxLayout *row, QDateEdit *from, QDateEdit *to,
                            QCheckBox *box = nullptr);
