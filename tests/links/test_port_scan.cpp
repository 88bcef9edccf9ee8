#include "gui/links/port_scan.h"
#include "main_form_starter.h"
#include "pseudo_terminal.h"

#include <QComboBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

class TestPortScan : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listsThePortsThatOpen_data();
    void listsThePortsThatOpen();
    void withoutPortsOffersAllNumbers();
    void scanWhileOnlineKeepsTheConnection();

private:
    // Points port number n at a fresh pseudo-terminal.
    void addPort(int n);
    QStringList listed(const StartedMainForm &started) const;

    std::unique_ptr<QTemporaryDir> comDir_;
    std::vector<std::unique_ptr<testsupport::PseudoTerminal>> terminals_;
};

void TestPortScan::init()
{
    comDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(comDir_->isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir_->path().toLocal8Bit());
}

void TestPortScan::cleanup()
{
    terminals_.clear();
    comDir_.reset();
}

void TestPortScan::addPort(int n)
{
    auto terminal = std::make_unique<testsupport::PseudoTerminal>();
    QVERIFY(terminal->isValid());
    QVERIFY(terminal->linkAs(comDir_->filePath(QStringLiteral("COM%1").arg(n))));
    terminals_.push_back(std::move(terminal));
}

QStringList TestPortScan::listed(const StartedMainForm &started) const
{
    auto *list = started.control<QComboBox>(QStringLiteral("Combo_CommPort"));
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

void TestPortScan::listsThePortsThatOpen_data()
{
    QTest::addColumn<QList<int>>("ports");
    QTest::addColumn<QList<int>>("busy");
    QTest::addColumn<QList<int>>("notTerminals");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ports 3 and 7") << QList<int>{3, 7} << QList<int>{} << QList<int>{}
                                   << QStringList{"3", "7"};
    QTest::newRow("busy port left out") << QList<int>{2, 5, 16} << QList<int>{5} << QList<int>{}
                                        << QStringList{"2", "16"};
    QTest::newRow("file that is no port left out") << QList<int>{1} << QList<int>{}
                                                   << QList<int>{4} << QStringList{"1"};
}

void TestPortScan::listsThePortsThatOpen()
{
    QFETCH(QList<int>, ports);
    QFETCH(QList<int>, busy);
    QFETCH(QList<int>, notTerminals);
    QFETCH(QStringList, expected);

    for (int n : ports)
        addPort(n);
    for (int n : notTerminals) {
        QFile file(comDir_->filePath(QStringLiteral("COM%1").arg(n)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Another program holds these ports open.
    std::vector<std::unique_ptr<QSerialPort>> holders;
    for (int n : busy) {
        auto holder = std::make_unique<QSerialPort>(comDir_->filePath(QStringLiteral("COM%1").arg(n)));
        QVERIFY(holder->open(QIODevice::ReadWrite));
        holders.push_back(std::move(holder));
    }

    StartedMainForm started;
    QVERIFY(started.loaded);
    QCOMPARE(listed(started), expected);
    auto *list = started.control<QComboBox>(QStringLiteral("Combo_CommPort"));
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(started.window->link().serial.portNumber(), expected.first().toInt());
    QVERIFY(started.messages.shown.isEmpty());
    // The number's device is named in the entry's tip.
    QCOMPARE(list->itemData(0, Qt::ToolTipRole).toString(),
             comDir_->filePath(QStringLiteral("COM%1").arg(expected.first())));
    // The probes leave no port open.
    QVERIFY(!started.window->link().serial.isOpen());
}

void TestPortScan::withoutPortsOffersAllNumbers()
{
    StartedMainForm started;
    QVERIFY(started.loaded);
    const QString noPort = started.window->language().texts().rightdown_Box2;
    QCOMPARE(started.messages.count(noPort), 1);

    started.messages.shown.clear();
    started.control<QPushButton>(QStringLiteral("cmdScanComPort"))->click();
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().kind, ui::MessageKind::Critical);
    QCOMPARE(started.messages.shown.first().title, started.window->language().texts().strMsgBoxerr);
    QCOMPARE(started.messages.shown.first().text, noPort);
    QStringList all;
    for (int n = 1; n <= 16; ++n)
        all << QString::number(n);
    QCOMPARE(listed(started), all);
    QCOMPARE(started.control<QComboBox>(QStringLiteral("Combo_CommPort"))->currentText(),
             QStringLiteral("6"));
    QCOMPARE(started.window->link().serial.portNumber(), 6);
}

void TestPortScan::scanWhileOnlineKeepsTheConnection()
{
    addPort(4);
    addPort(9);
    StartedMainForm started;
    auto *list = started.control<QComboBox>(QStringLiteral("Combo_CommPort"));
    list->setCurrentIndex(list->findText(QStringLiteral("9")));
    started.control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    links::LinkState &link = started.window->link();
    QVERIFY(link.LinkOnline());
    QVERIFY(link.serial.isOpen());
    // The scan button is not offered while online ...
    QVERIFY(!started.control<QPushButton>(QStringLiteral("cmdScanComPort"))->isEnabled());

    // ... and a scan all the same changes nothing.
    started.window->portScan().cmdScanComPort_Click();
    QVERIFY(link.LinkOnline());
    QVERIFY(link.serial.isOpen());
    QCOMPARE(link.serial.portNumber(), 9);
    QCOMPARE(listed(started), (QStringList{"4", "9"}));
    QCOMPARE(list->currentText(), QStringLiteral("9"));
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(TestPortScan)
#include "test_port_scan.moc"
