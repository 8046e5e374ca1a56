// Opens every window of the program offscreen on a sample book and saves a PNG
// of each into a folder, so that all of them can be looked at at once.
//
//   QT_QPA_PLATFORM=offscreen qinghebu-screenshots [OUTPUT_DIR]
#include "app/TfrmMain.h"
#include "app/WindowCatalog.h"
#include "books/SampleBook.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

namespace {

const QString BookName = QStringLiteral("我家帐簿");

// A small book with a little of everything, so that lists are not empty.
bool makeSampleBook()
{
    try {
        SampleBook::write({.book = BookName, .entries = 200, .seed = 1});
        return true;
    } catch (const DbError &e) {
        std::fprintf(stderr, "could not write the sample book: %s\n", qPrintable(e.message()));
        return false;
    }
}

void save(QWidget *widget, const QDir &out, const QString &name)
{
    const QString path = out.filePath(name + QStringLiteral(".png"));
    if (widget->grab().save(path))
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
}

// Grabs the next modal dialog once it is up, then closes it.
void grabNextDialog(const QDir &out, const QString &name)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, out, name] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        save(dialog, out, name);
        dialog->close();
    });
    timer->start();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QINGHEBU_UNATTENDED", "1");
    QApplication app(argc, argv);
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    QDir().mkpath(out.path());
    QTemporaryDir data;
    qputenv("QINGHEBU_DATA_DIR", data.path().toUtf8());

    TfrmDM dm;
    if (!makeSampleBook())
        return 1;
    grabNextDialog(out, QStringLiteral("startup-dialog"));
    TfrmMain main;
    main.show();
    dm.setCurrentBook(BookName);
    dm.myShow(true);
    main.setWindowTitle(BookName);
    main.mySum();
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmMain"));

    for (const WindowCatalog::Entry &entry : WindowCatalog::all()) {
        const QString name = QLatin1String(entry.className);
        if (entry.kind == WindowCatalog::Kind::Modal) {
            grabNextDialog(out, name);
            main.openWindow(name);
            continue;
        }
        QWidget *child = main.openWindow(name);
        QApplication::processEvents();
        save(&main, out, name);
        // Windows with a quick filter show it too, under the filter dialog's name.
        if (auto *query = child->findChild<QPushButton *>(QStringLiteral("ButQuery"))) {
            grabNextDialog(out, name + QStringLiteral("_Q"));
            query->click();
        }
        // Windows that enter rows are shown once more while entering a new one.
        if (auto *button = child->findChild<QPushButton *>(QStringLiteral("ButNew"));
            button && button->isEnabled()) {
            button->click();
            QApplication::processEvents();
            save(&main, out, name + QStringLiteral("-new"));
        }
        main.closeAllChildren();
        QApplication::processEvents();
    }
    return 0;
}
