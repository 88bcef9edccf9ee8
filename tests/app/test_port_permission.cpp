// A serial port the user may not open (a device file without read and write
// permission, the test run without privileges): the window says so in the
// chosen language, naming the device and how to get access; the command-line
// tool says the same in English.
#include "i18n/ini_file.h"
#include "i18n/language_files.h"
#include "main_form_starter.h"

#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestPortPermission : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowSaysHowToGetAccess_data();
    void windowSaysHowToGetAccess();
    void toolSaysHowToGetAccess();

private:
    QTemporaryDir comDir_;
    QString device_;
};

void TestPortPermission::initTestCase()
{
    device_ = comDir_.filePath(QStringLiteral("COM3"));
    QFile device(device_);
    QVERIFY(device.open(QIODevice::WriteOnly));
    device.close();
    QVERIFY(device.setPermissions(QFileDevice::Permissions()));
    QVERIFY2(!device.open(QIODevice::ReadWrite), "the test runs with privileges: see run_unprivileged.sh");
    qputenv("AMPWRIGHT_COM_DIR", comDir_.path().toLocal8Bit());
}

void TestPortPermission::windowSaysHowToGetAccess_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("file");
    QTest::newRow("english") << "English" << int(i18n::Language::English);
    QTest::newRow("chinese") << "中文" << int(i18n::Language::Chinese);
    QTest::newRow("japanese") << "日本語" << int(i18n::Language::Japanese);
}

void TestPortPermission::windowSaysHowToGetAccess()
{
    QFETCH(QString, language);
    QFETCH(int, file);
    StartedMainForm started({QStringLiteral("RS485(Modbus RTU)"), language});
    QVERIFY(started.loaded);
    auto *ports = started.control<QComboBox>(QStringLiteral("Combo_CommPort"));
    ports->setCurrentIndex(ports->findText(QStringLiteral("3")));
    QCOMPARE(ports->toolTip(), device_); // the device the number stands for
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();

    const auto lang = i18n::Language(file);
    const i18n::IniFile texts = i18n::IniFile::load(
        i18n::findFileInFolder(testsupport::binDir(), i18n::languageFileName(lang)), i18n::codePageOf(lang));
    const QString expected =
        texts.text(QStringLiteral("strmsgboxini"), QStringLiteral("rightdown_PortDenied")).arg(device_)
        + QLatin1Char('\n') + texts.text(QStringLiteral("strmsgboxini"), QStringLiteral("rightdown_PortDenied2"));
    QVERIFY(!expected.startsWith(QLatin1String("0")));
    QCOMPARE(started.messages.count(expected), 1);
    QVERIFY(!started.window->link().LinkOnline());
}

void TestPortPermission::toolSaysHowToGetAccess()
{
    QProcess tool;
    tool.start(testsupport::binDir() + QStringLiteral("/ampwright-cli"),
               {QStringLiteral("read"), QStringLiteral("--rtu"), QStringLiteral("3")});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(tool.readAllStandardError());
    QVERIFY2(error.contains(device_) && error.contains(QLatin1String("sudo usermod -aG dialout")),
             qPrintable(error));
}

QTEST_MAIN(TestPortPermission)
#include "test_port_permission.moc"
