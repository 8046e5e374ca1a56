#pragma once

#include <QWidget>

class QTextBrowser;

// The user manual bundled with the program, shown in a text browser (works
// offline). Opened by "第一次使用" and "帮助".
class ManualWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ManualWindow(QWidget *parent = nullptr);

    static QUrl manual();
    QTextBrowser *browser() const { return WebBrowser1; }

private:
    QTextBrowser *WebBrowser1 = nullptr;
};
