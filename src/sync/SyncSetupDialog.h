#pragma once

#include <QDialog>
#include <QMap>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// 家庭同步: takes this computer into the household's sync. 建立 makes the chosen
// folder the household's sync folder and shares the books ticked; 加入 joins the
// household whose folder and password are typed, asking a new name for a shared
// book whose name is taken here. Once set up it shows this computer's name, the
// folder and the shared books, and shares the books ticked besides.
class SyncSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SyncSetupDialog(QWidget *parent = nullptr);

    // 确定: sets up, joins or shares as the dialog shows.
    void confirm();

private:
    void buildSetUp();
    void buildShown();
    void chooseFolder();
    // Between 建立 and 加入: what only the first computer gives.
    void showWay();
    QStringList tickedBooks() const;
    bool checkFields();
    bool setUpFirst();
    bool join();
    // The shared books of the folder typed whose names (as renamed) this data
    // folder has already.
    QStringList takenNames(const QMap<QString, QString> &renames) const;
    // New names for them, asked of the user; false when the user gave none.
    bool askNewNames(const QStringList &taken, QMap<QString, QString> &renames);
    // Runs `work`: the message of its failure, empty when it succeeded.
    QString failureOf(const std::function<void()> &work);
    // The same; a failure is shown.
    bool run(const std::function<void()> &work);
    void started();

    QRadioButton *m_first = nullptr;
    QRadioButton *m_join = nullptr;
    QLineEdit *m_folder = nullptr;
    QLineEdit *m_computer = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_confirm = nullptr;
    QLabel *m_confirmLabel = nullptr;
    QLabel *m_booksLabel = nullptr;
    QListWidget *m_books = nullptr;
    QLabel *m_unticked = nullptr; // what becomes of the books not ticked
};
