// ampwright-cli serve on lines that lose answers: three simulated TCP meters,
// each a line of its own, one clean, one that drops 1 request in 20 and one
// that drops 1 in 4. A lost answer is asked again, so the 1-in-20 meter
// publishes as often as the clean one and never goes offline, and the
// 1-in-4 meter is still published.
#include "metersim_process.h"
#include "mqtt_broker.h"
#include "test_paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

constexpr int kWaitMs = 30000;
constexpr int kWindowMs = 30000;

struct States {
    int count = 0;
    qint64 firstMs = -1, lastMs = -1; // when the first and the last came
    // States a second between the first and the last.
    double rate() const { return count > 1 ? (count - 1) * 1000.0 / double(lastMs - firstMs) : 0; }
};

} // namespace

class TestServeLossyLines : public QObject {
    Q_OBJECT
private slots:
    void lostAnswersAreAskedAgain();
};

void TestServeLossyLines::lostAnswersAreAskedAgain()
{
    QTemporaryDir dir;
    MqttBroker broker;
    QString error;
    QVERIFY2(broker.create(&error), qPrintable(error));
    const QStringList serials{"AWLOSSYMETER0001", "AWLOSSYMETER0020", "AWLOSSYMETER0004"};
    const QStringList faults{{}, "drop@every=20", "drop@every=4"};
    testsupport::MeterSim sims[3];
    QString meters;
    for (int m = 0; m < 3; ++m) {
        QStringList args{"--unit", "1", "--serial", serials[m]};
        if (!faults[m].isEmpty())
            args << "--fault" << faults[m];
        QVERIFY2(sims[m].start(args), qPrintable(sims[m].errorString()));
        meters += QStringLiteral("tcp=%1:%2 unit=1").arg(sims[m].tcpAddress()).arg(sims[m].tcpPort());
        // The worst line waits less for what it loses.
        meters += m == 2 ? QStringLiteral(" timeout=300 attempts=4\n") : QStringLiteral("\n");
    }
    QFile list(dir.filePath(QStringLiteral("meters.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(meters.toUtf8());
    list.close();

    MqttSubscriber watch(broker.port(), QStringLiteral("ampwright/+/+"));
    QVERIFY2(watch.start(&error), qPrintable(error));
    QProcess gateway;
    gateway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gateway.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")),
                  {"serve", "--meters", list.fileName(), "--mqtt", QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                   "--every", "2", "--lp-every", "0", "--name", "lossy"});
    QVERIFY(gateway.waitForStarted());

    const auto topic = [&](int m, const char *leaf) { return QStringLiteral("ampwright/%1/%2").arg(serials[m], QLatin1String(leaf)); };
    const auto count = [&](const QStringList &messages, const QString &t, const QString &payload = {}) {
        return int(std::count_if(messages.begin(), messages.end(), [&](const QString &line) {
            return line.section(u' ', 1, 1) == t && (payload.isEmpty() || line.section(u' ', 2) == payload);
        }));
    };
    // Every meter published, the 1-in-4 one too.
    for (int m = 0; m < 3; ++m)
        QTRY_VERIFY2_WITH_TIMEOUT(count(watch.messages(), topic(m, "state")) > 0, qPrintable(serials[m]), kWaitMs);

    // Then the states of the clean and the 1-in-20 meter over a window.
    States states[3];
    int before[3];
    QStringList seen = watch.messages();
    for (int m = 0; m < 3; ++m)
        before[m] = count(seen, topic(m, "state"));
    QElapsedTimer window;
    window.start();
    while (window.elapsed() < kWindowMs) {
        QTest::qWait(50);
        seen = watch.messages();
        for (int m = 0; m < 3; ++m) {
            const int now = count(seen, topic(m, "state")) - before[m];
            if (now == states[m].count)
                continue;
            if (states[m].count == 0)
                states[m].firstMs = window.elapsed();
            states[m].count = now;
            states[m].lastMs = window.elapsed();
        }
    }
    std::printf("states in %d s: clean %d (%.3f/s), 1 in 20 lost %d (%.3f/s), 1 in 4 lost %d (%.3f/s)\n",
                kWindowMs / 1000, states[0].count, states[0].rate(), states[1].count, states[1].rate(),
                states[2].count, states[2].rate());
    QVERIFY(states[0].count >= 10);
    QVERIFY2(states[1].rate() >= 0.95 * states[0].rate(), "the 1-in-20 line publishes under 95 % of the clean one's states");
    QVERIFY2(states[2].count > 0, "the 1-in-4 meter went unpublished");
    for (int m : {0, 1})
        QCOMPARE(count(seen, topic(m, "availability"), QStringLiteral("offline")), 0);

    gateway.terminate();
    QVERIFY(gateway.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestServeLossyLines)
#include "test_serve_lossy_lines.moc"
