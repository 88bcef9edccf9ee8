// The serial link takes a whole answer at once, in order, however much of it
// still waits in the driver.
#include "link/serial_link.h"
#include "pseudo_terminal.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSerialLink : public QObject {
    Q_OBJECT
private slots:
    void takesEverythingReceivedInOrder_data();
    void takesEverythingReceivedInOrder();
};

void TestSerialLink::takesEverythingReceivedInOrder_data()
{
    QTest::addColumn<QList<int>>("bursts");
    QTest::newRow("one byte") << QList<int>{1};
    QTest::newRow("a main-block answer") << QList<int>{517};
    QTest::newRow("nearly what the driver holds") << QList<int>{2500, 1500};
    QTest::newRow("answer in pieces") << QList<int>{3, 60, 1, 200};
}

void TestSerialLink::takesEverythingReceivedInOrder()
{
    QFETCH(QList<int>, bursts);
    QTemporaryDir comDir;
    QVERIFY(comDir.isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());
    testsupport::PseudoTerminal meter;
    QVERIFY(meter.isValid());
    QVERIFY(meter.linkAs(comDir.filePath(QStringLiteral("COM1"))));

    SerialLink link;
    QString error;
    QVERIFY(link.setPortNumber(1, &error));
    QVERIFY(link.setSettings(QStringLiteral("19200,n,8,1"), &error));
    QVERIFY2(link.open(&error), qPrintable(error));

    // Every byte value, control characters included, must pass unchanged.
    QByteArray sent;
    for (int burst : bursts) {
        QByteArray bytes;
        for (int i = 0; i < burst; ++i)
            bytes.append(char((sent.size() + i) * 7 % 256));
        QVERIFY(meter.send(bytes));
        sent += bytes;
        const int expected = int(sent.size());
        QVERIFY2(QTest::qWaitFor([&] { return link.inBufferCount() >= expected; }, 5000),
                 qPrintable(QString::number(link.inBufferCount())));
    }
    QCOMPARE(link.inBufferCount(), int(sent.size()));

    const std::vector<std::uint8_t> taken = link.takeInput();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(taken.data()), qsizetype(taken.size())), sent);
    QCOMPARE(link.inBufferCount(), 0);
    QTest::qWait(20); // nothing arrives later from what was taken
    QCOMPARE(link.inBufferCount(), 0);
    QVERIFY(link.takeInput().empty());
    link.close();
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_serial_link.moc"
