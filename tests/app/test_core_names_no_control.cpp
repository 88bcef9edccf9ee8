// The widget-free core libraries name no control of the window: every
// object name of the main window's widgets (and of the windows it opens)
// is looked for among the string literals of their sources.
#include "main_form_starter.h"
#include "test_paths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

// The sources of the core library ampwright_<folder>, as its CMakeLists.txt lists them.
QStringList coreSources(const QString &folder)
{
    const QString dir = testsupport::sourceDir() + QStringLiteral("/src/") + folder;
    QFile list(dir + QStringLiteral("/CMakeLists.txt"));
    if (!list.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(list.readAll());
    const QRegularExpression head(QStringLiteral("ampwright_library\\(ampwright_%1\\s").arg(folder));
    const qsizetype at = text.indexOf(head);
    const qsizetype end = at < 0 ? -1 : text.indexOf(u')', at);
    QStringList sources;
    if (end < 0)
        return sources;
    static const QRegularExpression file(QStringLiteral("([A-Za-z0-9_/]+\\.(cpp|h))"));
    for (const auto &m : file.globalMatch(text.mid(at, end - at)))
        sources << dir + u'/' + m.captured(1);
    return sources;
}

} // namespace

class TestCoreNamesNoControl : public QObject {
    Q_OBJECT
private slots:
    void coreLiteralsNameNoControl_data();
    void coreLiteralsNameNoControl();
};

void TestCoreNamesNoControl::coreLiteralsNameNoControl_data()
{
    QTest::addColumn<QString>("folder");
    for (const char *folder : {"modbus", "links", "meter", "session", "config", "lpdata", "loadprofile", "archive", "trend", "gateway"})
        QTest::newRow(folder) << QString::fromLatin1(folder);
}

void TestCoreNamesNoControl::coreLiteralsNameNoControl()
{
    QFETCH(QString, folder);
    StartedMainForm started;
    QVERIFY(started.loaded);
    QSet<QString> controls;
    static const QRegularExpression index(QStringLiteral("\\(\\d+\\)$"));
    QList<QWidget *> widgets = started.window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        QString name = w->objectName();
        name.remove(index);
        // Qt's own parts carry names of their own ("qt_..."), and a name of a
        // few letters is no control's alone.
        if (name.size() > 3 && !name.startsWith(QLatin1String("qt_")))
            controls.insert(name);
    }
    QVERIFY(controls.contains(QStringLiteral("txt_V_N")) && controls.contains(QStringLiteral("Combo_LP_Start_No")));

    const QStringList sources = coreSources(folder);
    QVERIFY2(!sources.isEmpty(), qPrintable(folder));
    static const QRegularExpression literal(QStringLiteral("\"([A-Za-z_][A-Za-z0-9_]*)\""));
    QStringList found;
    for (const QString &path : sources) {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QString text = QString::fromUtf8(file.readAll());
        for (const auto &m : literal.globalMatch(text))
            if (controls.contains(m.captured(1)))
                found << QFileInfo(path).fileName() + u':' + m.captured(1);
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(u' ')));
}

QTEST_MAIN(TestCoreNamesNoControl)
#include "test_core_names_no_control.moc"
