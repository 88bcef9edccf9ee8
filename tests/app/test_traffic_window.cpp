// The communication log through the real window against the simulated meter
// with injected faults: each request and what became of it, in order, the
// three attempts of a transaction that fails, the log saved as text, and a
// picture of the window.
#include "gui/links/traffic_window.h"
#include "meter_session.h"
#include "screenshot.h"

#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>

class TestTrafficWindow : public QObject {
    Q_OBJECT
private slots:
    void faultsAndAttemptsInOrder();
};

namespace {

// Index of the first line at or after from that contains text; -1 if none.
qsizetype find(const QStringList &lines, const QString &text, qsizetype from = 0)
{
    for (qsizetype i = from; i < lines.size(); ++i)
        if (lines[i].contains(text))
            return i;
    return -1;
}

} // namespace

void TestTrafficWindow::faultsAndAttemptsInOrder()
{
    testsupport::MeterSession session;
    QVERIFY2(session.startMeter({QStringLiteral("--fault"), QStringLiteral("drop@nth=3"),
                                 QStringLiteral("--fault"), QStringLiteral("crc@nth=5"),
                                 QStringLiteral("--fault"), QStringLiteral("address@nth=7"),
                                 QStringLiteral("--fault"), QStringLiteral("exception:2@nth=9")}),
             qPrintable(session.error()));
    QVERIFY(session.openWindow());
    session.started->control<QPushButton>(QStringLiteral("cmdTrafficLog"))->click();
    links::TrafficWindow &log = session.window().traffic();
    QVERIFY(log.isVisible());
    QVERIFY(session.goOnline([&] { return log.shownText().count(QLatin1String("answer taken")) >= 12; }));

    QStringList lines = log.shownText().split(u'\n');
    // Each fault: the failing attempt, what became of it, the second attempt;
    // an exception answer is the meter's word and ends its request at once.
    for (const char *failure : {"no complete answer within the waits", "CRC error",
                                "address error: another unit answered", "exception 02"}) {
        const qsizetype at = find(lines, QLatin1String(failure));
        QVERIFY2(at > 0, failure);
        QVERIFY2(lines[at - 1].contains(QLatin1String("TX  #1")) || lines[at - 2].contains(QLatin1String("TX  #1")),
                 qPrintable(lines[at - 1]));
        const qsizetype retry = find(lines, QStringLiteral("TX  #2"), at);
        if (QLatin1String(failure) == QLatin1String("exception 02"))
            QVERIFY2(at + 1 < lines.size() && lines[at + 1].contains(QLatin1String("TX  #1")), qPrintable(lines.value(at + 1)));
        else
            QVERIFY2(retry > at && retry <= at + 2, failure);
    }
    QVERIFY(log.saveTo(QDir::temp().filePath(QStringLiteral("traffic-test.txt"))));
    QFile saved(QDir::temp().filePath(QStringLiteral("traffic-test.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    QVERIFY(text.contains(" CRC error  | ") && text.endsWith("\r\n") && !text.contains("\n\n"));
    log.resize(1100, 420);
    QVERIFY(testsupport::saveScreenshot(&log, QStringLiteral("traffic_window_faults")));

    // A meter that stops answering: three attempts, then offline.
    QVERIFY(session.meter->sendCommand(QStringLiteral("drop@every=1")));
    QVERIFY(QTest::qWaitFor([&] { return !session.window().link().LinkOnline(); }, 20000));
    lines = log.shownText().split(u'\n');
    const qsizetype offline = find(lines, QStringLiteral("no usable answer in 3 attempts: link taken offline"));
    QVERIFY(offline > 0);
    QVERIFY(lines[offline - 1].contains(QLatin1String("no complete answer")));
    QVERIFY(lines[offline - 2].contains(QLatin1String("TX  #3")));
    QVERIFY(lines[offline - 4].contains(QLatin1String("TX  #2")));
    QVERIFY(lines[offline - 6].contains(QLatin1String("TX  #1")));

    // Errors only: every line shown is a failure.
    log.findChild<QPushButton *>(QStringLiteral("cmdTrafficErrors"))->click();
    for (const QString &line : log.shownText().split(u'\n'))
        QVERIFY2(!line.contains(QLatin1String("answer taken")) && !line.contains(QLatin1String("TX ")), qPrintable(line));
    // Closed, the log records nothing more.
    log.close();
    const qsizetype kept = log.log().entries().size();
    session.started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    QTest::qWait(1500);
    QCOMPARE(qsizetype(log.log().entries().size()), kept);
}

QTEST_MAIN(TestTrafficWindow)
#include "test_traffic_window.moc"
