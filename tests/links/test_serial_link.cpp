// The serial link takes a whole answer at once, in order, however much of it
// still waits in the driver.
#include "links/serial_link.h"
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
    QTest::addColumn<int>("answerLength"); // the answer length announced, 0 for none
    QTest::newRow("one byte") << QList<int>{1} << 0;
    QTest::newRow("a main-block answer") << QList<int>{517} << 0;
    QTest::newRow("nearly what the driver holds") << QList<int>{2500, 1500} << 0;
    QTest::newRow("answer in pieces") << QList<int>{3, 60, 1, 200} << 0;
    QTest::newRow("expected answer trickling in") << QList<int>{3, 4, 1, 5} << 13;
    QTest::newRow("expected longest answer in pieces") << QList<int>{100, 100, 55} << 255;
}

void TestSerialLink::takesEverythingReceivedInOrder()
{
    QFETCH(QList<int>, bursts);
    QFETCH(int, answerLength);
    QTemporaryDir comDir;
    QVERIFY(comDir.isValid());
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());
    testsupport::PseudoTerminal meter;
    QVERIFY(meter.isValid());
    QVERIFY(meter.linkAs(comDir.filePath(QStringLiteral("COM1"))));

    links::SerialLink link;
    QString error;
    QVERIFY(link.setPortNumber(1, &error));
    QVERIFY(link.setSettings(QStringLiteral("19200,n,8,1"), &error));
    QVERIFY2(link.open(&error), qPrintable(error));
    int earlyWakes = 0, completeWakes = 0;
    connect(&link, &links::SerialLink::inputArrived, this, [&] { ++(link.inBufferCount() < answerLength ? earlyWakes : completeWakes); });
    link.expectInput(answerLength, 0);

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
        QTest::qWait(10);
    }
    QCOMPARE(link.inBufferCount(), int(sent.size()));
    QTRY_VERIFY(completeWakes > 0);
    QCOMPARE(earlyWakes, 0); // told the length, the link wakes once that is in

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
