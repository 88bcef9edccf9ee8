// The guard that keeps totals from running backwards: what each poll of a
// sequence lets through ("-": held back) and what it tells (H held, C a
// confirmed drop, "." nothing). "R" before a value: the gateway wrote a reset.
#include "gateway/total_guard.h"

#include <QTest>

using namespace gateway;

class TestTotalGuard : public QObject {
    Q_OBJECT

private slots:
    void sequences_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("published");
        QTest::addColumn<QString>("told");
        QTest::newRow("growing") << "10 10 11.5" << "10 10 11.5" << "...";
        QTest::newRow("float rounding is no drop") << "1234.5678 1234.5676 1234.6" << "1234.5678 1234.5678 1234.6" << "...";
        QTest::newRow("zero once") << "500 0 500.1" << "500 - 500.1" << ".H.";
        QTest::newRow("zero from the start") << "0 0 0 0" << "- - 0 0" << "H.C.";
        QTest::newRow("not a number") << "500 nan inf nan 501" << "500 - - - 501" << ".H...";
        QTest::newRow("negative") << "500 -3 500" << "500 - 500" << ".H.";
        QTest::newRow("drop confirmed by 3 polls") << "500 2 2.1 2.2 2.3" << "500 - - 2.2 2.3" << ".H.C.";
        QTest::newRow("drop that recovers") << "500 2 2.1 500.2" << "500 - - 500.2" << ".H..";
        QTest::newRow("a glitch breaks the row") << "500 2 nan 2.1 2.2 2.3" << "500 - - - - 2.3" << ".H...C";
        QTest::newRow("lower still restarts the row") << "500 20 2 2 2" << "500 - - - 2" << ".H..C";
        QTest::newRow("a written reset, once") << "900 R0 1 0" << "900 0 1 -" << "...H";
    }
    void sequences()
    {
        QFETCH(QString, read);
        TotalGuard guard;
        QStringList published, told;
        for (QString value : read.split(u' ')) {
            if (value.startsWith(u'R')) {
                guard.expectReset();
                value.remove(0, 1);
            }
            meter::Reading reading;
            reading.values[meter::KwhDelivered] = value.toDouble();
            reading.values[meter::VoltageLnA] = -5; // no total: never touched
            QString letters;
            for (const TotalGuard::Event &e : guard.apply(reading))
                letters += e.kind == TotalGuard::Event::Kind::Held ? u'H' : u'C';
            QCOMPARE(reading.value(meter::VoltageLnA), std::optional(-5.0));
            const auto kwh = reading.value(meter::KwhDelivered);
            published << (kwh ? QString::number(*kwh, 'g', 10) : QStringLiteral("-"));
            told << (letters.isEmpty() ? QStringLiteral(".") : letters);
        }
        QTEST(published.join(u' '), "published");
        QTEST(told.join(QString()), "told");
    }
};

QTEST_GUILESS_MAIN(TestTotalGuard)
#include "test_total_guard.moc"
