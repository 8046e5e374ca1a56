#pragma once

#include <QDialog>

// The about box: the program's name, the version it was built as, the rights
// notice and the project's page as a link.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // The version the program was built as ("2.0.9").
    static QString version();
};
