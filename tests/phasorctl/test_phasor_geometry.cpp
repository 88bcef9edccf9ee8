#include "phasorctl/phasor_geometry.h"

#include <QTest>

#include <limits>

using namespace gyroscribe;

class TestPhasorGeometry : public QObject {
    Q_OBJECT
private slots:
    void normalizeAngle_data();
    void normalizeAngle();
    void normalizeAngleOverflow_data();
    void normalizeAngleOverflow();
    void backgroundMetrics_data();
    void backgroundMetrics();
    void clipSegment_data();
    void clipSegment();
};

void TestPhasorGeometry::normalizeAngle_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<float>("normalised");
    QTest::newRow("-30") << -30.0f << 330.0f;
    QTest::newRow("370") << 370.0f << 10.0f;
    QTest::newRow("-360 stays a full turn") << -360.0f << 360.0f;
    QTest::newRow("360 becomes 0") << 360.0f << 0.0f;
    QTest::newRow("fraction") << -0.5f << 359.5f;
    QTest::newRow("largest turn count") << 32767.0f * 360.0f + 90.0f << 90.0f;
    QTest::newRow("largest negative turn count") << -(32767.0f * 360.0f + 90.0f) << 270.0f;
}

void TestPhasorGeometry::normalizeAngle()
{
    QFETCH(float, angle);
    QFETCH(float, normalised);
    QCOMPARE(NormalizeAngle(angle), normalised);
}

void TestPhasorGeometry::normalizeAngleOverflow_data()
{
    QTest::addColumn<float>("angle");
    QTest::newRow("32768 turns") << 32768.0f * 360.0f;
    QTest::newRow("-32768 turns") << -32768.0f * 360.0f;
    QTest::newRow("largest single") << std::numeric_limits<float>::max();
    QTest::newRow("-infinity") << -std::numeric_limits<float>::infinity();
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
}

void TestPhasorGeometry::normalizeAngleOverflow()
{
    QFETCH(float, angle);
    QVERIFY_THROWS_EXCEPTION(OverflowError, NormalizeAngle(angle));
}

void TestPhasorGeometry::backgroundMetrics_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("axisHalfLength");
    QTest::addColumn<double>("circleRadius");
    QTest::addColumn<int>("plotRadius");
    QTest::newRow("wider than high") << 6495.0 << 6015.0 << 3007.5 << 2807.5 << 2808;
    QTest::newRow("half rounds to even") << 6045.0 << 600.0 << 2782.5 << 2582.5 << 2582;
    QTest::newRow("beyond a 16-bit radius") << 75000.0 << 75000.0 << 37260.0 << 37060.0 << 37060;
    QTest::newRow("too small for the circle") << 750.0 << 750.0 << 135.0 << 0.0 << 0;
}

void TestPhasorGeometry::backgroundMetrics()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, axisHalfLength);
    QFETCH(double, circleRadius);
    QFETCH(int, plotRadius);
    const BackgroundMetrics m = gyroscribe::backgroundMetrics(width, height);
    QCOMPARE(m.axisHalfLength, axisHalfLength);
    QCOMPARE(m.circleRadius, circleRadius);
    QCOMPARE(m.plotRadius, plotRadius);
}

void TestPhasorGeometry::clipSegment_data()
{
    QTest::addColumn<QLineF>("segment");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QLineF>("clipped");
    QTest::newRow("inside") << QLineF(0, 0, 50, 50) << true << QLineF(0, 0, 50, 50);
    QTest::newRow("far beyond an edge") << QLineF(0, 0, 1e9, 0) << true << QLineF(0, 0, 100, 0);
    QTest::newRow("out of a corner") << QLineF(0, 0, -1e6, 1e6) << true << QLineF(0, 0, -100, 100);
    QTest::newRow("passing outside") << QLineF(200, -500, 200, 500) << false << QLineF();
}

void TestPhasorGeometry::clipSegment()
{
    QFETCH(QLineF, segment);
    QFETCH(bool, visible);
    QFETCH(QLineF, clipped);
    const std::optional<QLineF> part = gyroscribe::clipSegment(segment, QRectF(-100, -100, 200, 200));
    QCOMPARE(part.has_value(), visible);
    if (part) {
        QVERIFY(QLineF(part->p1(), clipped.p1()).length() < 1e-6);
        QVERIFY(QLineF(part->p2(), clipped.p2()).length() < 1e-6);
    }
}

QTEST_APPLESS_MAIN(TestPhasorGeometry)
#include "test_phasor_geometry.moc"
