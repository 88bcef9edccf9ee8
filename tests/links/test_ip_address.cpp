#include "links/ip_address.h"

#include <QtTest>

class TestIpAddress : public QObject {
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
};

void TestIpAddress::pattern_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("default address") << "192.168.1.250" << true;
    // The range of a group is not checked.
    QTest::newRow("a group of 999") << "192.168.1.999" << true;
    QTest::newRow("single digits") << "1.2.3.4" << true;
    QTest::newRow("three groups") << "192.168.1" << false;
    QTest::newRow("five groups") << "192.168.1.250.1" << false;
    QTest::newRow("trailing blank") << "192.168.1.250 " << false;
    QTest::newRow("leading blank") << " 192.168.1.250" << false;
    QTest::newRow("trailing line break") << "192.168.1.250\n" << false;
    QTest::newRow("group of four digits") << "1921.168.1.250" << false;
    QTest::newRow("empty group") << "192..1.250" << false;
    QTest::newRow("host name") << "meter.local" << false;
    QTest::newRow("wide digits") << QStringLiteral("１92.168.1.250") << false;
    QTest::newRow("empty") << "" << false;
}

void TestIpAddress::pattern()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(links::isIpAddressText(text), accepted);
}

QTEST_GUILESS_MAIN(TestIpAddress)
#include "test_ip_address.moc"
