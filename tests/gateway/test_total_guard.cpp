// The guard that keeps totals from running backwards: what each poll of a
// sequence lets through, and what it tells.
#include "gateway/total_guard.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace gateway;

using Values = QList<double>;
constexpr double kHeld = -1; // in the expected list: left out of the reading
const double kNan = std::numeric_limits<double>::quiet_NaN();

class TestTotalGuard : public QObject {
    Q_OBJECT

private slots:
    void sequences_data()
    {
        QTest::addColumn<Values>("read");
        QTest::addColumn<Values>("published");
        QTest::addColumn<QString>("told"); // H held, C confirmed, one letter a poll ("." nothing)
        QTest::newRow("growing") << Values{10, 10, 11.5} << Values{10, 10, 11.5} << "...";
        // 1234.5 as a float and back: a hair lower, still the same value.
        QTest::newRow("float rounding is no drop")
            << Values{1234.5678, double(float(1234.5678)) - 1e-4, 1234.6}
            << Values{1234.5678, 1234.5678, 1234.6} << "...";
        QTest::newRow("zero once") << Values{500, 0, 500.1} << Values{500, kHeld, 500.1} << ".H.";
        QTest::newRow("zero at the start") << Values{0, 0, 0, 0} << Values{kHeld, kHeld, 0, 0} << "H.C.";
        QTest::newRow("not a number") << Values{500, kNan, kNan, kNan, 501} << Values{500, kHeld, kHeld, kHeld, 501}
                                      << ".H...";
        QTest::newRow("negative") << Values{500, -3, 500} << Values{500, kHeld, 500} << ".H.";
        QTest::newRow("drop confirmed after 3") << Values{500, 2, 2.1, 2.2, 2.3}
                                                << Values{500, kHeld, kHeld, 2.2, 2.3} << ".H.C.";
        QTest::newRow("drop that recovers") << Values{500, 2, 2.1, 500.2} << Values{500, kHeld, kHeld, 500.2}
                                            << ".H..";
        // A glitch among the lower values starts the count again.
        QTest::newRow("row broken") << Values{500, 2, kNan, 2.1, 2.2, 2.3}
                                    << Values{500, kHeld, kHeld, kHeld, kHeld, 2.3} << ".H...C";
        QTest::newRow("lower still restarts the row") << Values{500, 20, 2, 2, 2}
                                                      << Values{500, kHeld, kHeld, kHeld, 2} << ".H..C";
    }
    void sequences()
    {
        QFETCH(Values, read);
        QFETCH(Values, published);
        QFETCH(QString, told);
        TotalGuard guard;
        for (qsizetype i = 0; i < read.size(); ++i) {
            meter::Reading reading;
            reading.values[meter::KwhDelivered] = read[i];
            reading.values[meter::VoltageLnA] = -5; // not a total: never touched
            const auto events = guard.apply(reading);
            const QString at = QStringLiteral("poll %1").arg(i);
            if (published[i] == kHeld)
                QVERIFY2(!reading.value(meter::KwhDelivered), qPrintable(at));
            else
                QCOMPARE(reading.value(meter::KwhDelivered).value_or(kNan), published[i]);
            QCOMPARE(reading.value(meter::VoltageLnA), std::optional<double>(-5));
            QString letters;
            for (const TotalGuard::Event &e : events)
                letters += e.kind == TotalGuard::Event::Kind::Held ? u'H' : u'C';
            QCOMPARE(letters.isEmpty() ? QStringLiteral(".") : letters, told.mid(i, 1));
        }
    }

    // A reset the gateway wrote is taken from the next read, once.
    void expectedResetIsTakenAtOnce()
    {
        TotalGuard guard;
        meter::Reading reading;
        reading.values[meter::KvarhLagging] = 900;
        reading.values[meter::Co2Emission] = 45;
        guard.apply(reading);
        guard.expectReset();
        reading.values[meter::KvarhLagging] = 0;
        reading.values[meter::Co2Emission] = 0;
        QVERIFY(guard.apply(reading).empty());
        QCOMPARE(reading.value(meter::KvarhLagging), std::optional<double>(0));
        QCOMPARE(reading.value(meter::Co2Emission), std::optional<double>(0));
        reading.values[meter::KvarhLagging] = 1;
        guard.apply(reading);
        reading.values[meter::KvarhLagging] = 0; // the next drop is a drop again
        QCOMPARE(guard.apply(reading).size(), std::size_t(1));
        QVERIFY(!reading.value(meter::KvarhLagging));
    }
};

QTEST_GUILESS_MAIN(TestTotalGuard)
#include "test_total_guard.moc"
