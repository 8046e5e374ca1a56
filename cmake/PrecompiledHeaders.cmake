# The Qt and standard headers that most of our sources include, compiled once per
# target instead of once per source file. Only outside headers belong here: a change
# to one of ours would otherwise rebuild everything. -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON
# builds without them (to check that every file includes what it uses).
set(QINGHEBU_PRECOMPILED_HEADERS
    # Standard library
    <algorithm> <cstdint> <functional> <memory> <optional> <utility> <vector>
    # Qt Core
    <QByteArray> <QCoreApplication> <QDate> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash>
    <QList> <QObject> <QRegularExpression> <QSet> <QString> <QStringList> <QUrl> <QVariant>
    # Qt SQL
    <QSqlDatabase> <QSqlError> <QSqlQuery> <QSqlRecord>
    # Qt Widgets
    <QApplication> <QCheckBox> <QComboBox> <QDateEdit> <QDialog> <QGridLayout> <QGroupBox>
    <QHBoxLayout> <QHeaderView> <QKeyEvent> <QLabel> <QLineEdit> <QPainter> <QPushButton>
    <QTableView> <QVBoxLayout> <QWidget>)

# What the tests add: Qt Test and the windows and files they drive.
set(QINGHEBU_TEST_PRECOMPILED_HEADERS
    ${QINGHEBU_PRECOMPILED_HEADERS}
    <QTest> <QSignalSpy> <QAction> <QMdiArea> <QMdiSubWindow> <QMenu> <QMessageBox>
    <QTemporaryDir>)
