#include "phasorctl/hosting/map_property_bag.h"
#include "phasorctl/phaser.h"
#include "recorders.h"
#include "screenshot.h"

#include <QPointer>
#include <QTest>

#include <cmath>
#include <limits>
#include <optional>

using namespace gyroscribe;
using hosting::Status;
using hosting::Variant;

using Triple = std::array<float, 3>;
Q_DECLARE_METATYPE(Triple)
Q_DECLARE_METATYPE(std::optional<Variant>)

namespace {

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

double lengthOf(QPointF p)
{
    return std::hypot(p.x(), p.y());
}

// Phasor angle of a point in twips (y down), degrees in 0 ... 360.
double angleOf(QPointF p)
{
    const double degrees = std::atan2(-p.y(), p.x()) * 180.0 / Pi;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

} // namespace

class TestPhaserControl : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void persistence_data();
    void persistence();
    void unreadableStoredValueReadsAsDefault();
    void dispatchRejectsWrongCalls_data();
    void dispatchRejectsWrongCalls();

    void vectorPlacement_data();
    void vectorPlacement();
    void resizeRedrawsAndResetsVectors();
    void vectorLabelsStayClear_data();
    void vectorLabelsStayClear();
    void degreeMarksLieInside_data();
    void degreeMarksLieInside();

    void errorPath_data();
    void errorPath();
    void errorKeepsElementsAlreadyPlaced();
    void errorsDoNotStackMessages();

    void doubleClickTogglesSizeAndRaisesDblClick();

private:
    bool setPwrData(const Triple &v, const Triple &dv, const Triple &i, const Triple &di)
    {
        return phaser->SetPwrData(v[0], v[1], v[2], dv[0], dv[1], dv[2], i[0], i[1], i[2], di[0],
                                  di[1], di[2]);
    }

    QPointer<Phaser> phaser; // a failed check may leave it to a destroyed parent
    MessageRecorder site;
};

const Triple balancedV{230, 230, 230};
const Triple balancedAngles{0, 240, 120};

void TestPhaserControl::init()
{
    site = MessageRecorder();
    phaser = new Phaser;
    phaser->setSite(&site);
    phaser->initProperties();
    phaser->resize(433, 401);
    phaser->show();
    QVERIFY(QTest::qWaitForWindowExposed(phaser));
}

void TestPhaserControl::cleanup()
{
    delete phaser;
}

void TestPhaserControl::persistence_data()
{
    QTest::addColumn<std::optional<Variant>>("direction"); // none: the new instance's
    QTest::addColumn<std::optional<Variant>>("stored");    // none: no key
    QTest::addColumn<int>("readBack");
    const std::optional<Variant> none;
    QTest::newRow("new instance") << none << none << 4;
    QTest::newRow("LEFT_TOP stored as 2") << std::optional<Variant>(2) << std::optional<Variant>(2) << 2;
    QTest::newRow("CENTER stored as 0") << std::optional<Variant>(0) << std::optional<Variant>(0) << 0;
    QTest::newRow("RIGHT_BOTTOM not stored") << std::optional<Variant>(4) << none << 4;
    QTest::newRow("outside the enumeration")
        << std::optional<Variant>(77) << std::optional<Variant>(77) << 77;
    QTest::newRow("text put") << std::optional<Variant>(QStringLiteral("3"))
                              << std::optional<Variant>(3) << 3;
}

void TestPhaserControl::persistence()
{
    QFETCH(std::optional<Variant>, direction);
    QFETCH(std::optional<Variant>, stored);
    QFETCH(int, readBack);
    if (direction)
        QCOMPARE(phaser->invoke(dispid::EnlargeDirection, hosting::InvokeKind::PropertyPut,
                                std::span<Variant>(&*direction, 1), nullptr),
                 Status::Ok);
    hosting::MapPropertyBag bag;
    bag.write(QStringLiteral("EnlargeDirection"), 2); // left by an earlier save
    phaser->writeProperties(bag);
    QCOMPARE(bag.read(QStringLiteral("EnlargeDirection")), stored);

    Phaser loaded;
    loaded.readProperties(bag);
    QCOMPARE(loaded.EnlargeDirection(), readBack);
}

void TestPhaserControl::unreadableStoredValueReadsAsDefault()
{
    hosting::MapPropertyBag bag;
    for (const Variant &value : {Variant(QStringLiteral("up")), Variant(1e12), Variant()}) {
        bag.write(QStringLiteral("EnlargeDirection"), value);
        phaser->setEnlargeDirection(0);
        phaser->readProperties(bag);
        QCOMPARE(phaser->EnlargeDirection(), int(EnlargeDirEnum::RIGHT_BOTTOM));
    }
}

void TestPhaserControl::dispatchRejectsWrongCalls_data()
{
    QTest::addColumn<int>("member");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("argumentCount");
    QTest::addColumn<int>("status");
    const int method = int(hosting::InvokeKind::Method);
    const int put = int(hosting::InvokeKind::PropertyPut);
    QTest::newRow("unknown member") << 0x60030009 << method << 0 << int(Status::MemberNotFound);
    QTest::newRow("SetPwrData with 11") << dispid::SetPwrData << method << 11
                                        << int(Status::BadParamCount);
    QTest::newRow("EnlargeDirection put without value")
        << dispid::EnlargeDirection << put << 0 << int(Status::BadParamCount);
}

void TestPhaserControl::dispatchRejectsWrongCalls()
{
    QFETCH(int, member);
    QFETCH(int, kind);
    QFETCH(int, argumentCount);
    QFETCH(int, status);
    std::vector<Variant> args(std::size_t(argumentCount), Variant(1.0f));
    QCOMPARE(phaser->invoke(member, hosting::InvokeKind(kind), args, nullptr), Status(status));
}

void TestPhaserControl::vectorPlacement_data()
{
    // The same magnitudes and angles go to the voltages and the currents.
    QTest::addColumn<Triple>("magnitudes");
    QTest::addColumn<Triple>("angles");
    QTest::addColumn<Triple>("radii");        // lengths in plot radii
    QTest::addColumn<Triple>("drawnAngles");
    QTest::newRow("equal magnitudes end on the circle")
        << balancedV << balancedAngles << Triple{1, 1, 1} << balancedAngles;
    QTest::newRow("the smallest reaches the circle")
        << Triple{230, 240, 220} << balancedAngles << Triple{230.f / 220, 240.f / 220, 1}
        << balancedAngles;
    QTest::newRow("Va = 0: the reference 0 becomes 1")
        << Triple{0, 230, 230} << balancedAngles << Triple{0, 230, 230} << balancedAngles;
    QTest::newRow("angles are normalised")
        << Triple{1, 1, 1} << Triple{-120, 480, 370} << Triple{1, 1, 1} << Triple{240, 120, 10};
}

void TestPhaserControl::vectorPlacement()
{
    QFETCH(Triple, magnitudes);
    QFETCH(Triple, angles);
    QFETCH(Triple, radii);
    QFETCH(Triple, drawnAngles);
    QVERIFY(setPwrData(magnitudes, angles, magnitudes, angles));
    const double r = phaser->plotRadius();
    QVERIFY(r > 0);
    const DiagramElements &e = phaser->elements();
    for (int k = 0; k < 3; ++k) {
        for (const LineElement &line : {e.lVolt[k], e.lCurrent[k]}) {
            const double length = radii[k] * r;
            QCOMPARE(line.p1, QPointF(0, 0));
            QVERIFY2(std::fabs(lengthOf(line.p2) - length) < 0.5,
                     qPrintable(QString::number(lengthOf(line.p2))));
            if (length != 0) {
                QVERIFY(std::fabs(angleOf(line.p2) - drawnAngles[k]) < 1e-6);
            }
        }
    }
}

void TestPhaserControl::resizeRedrawsAndResetsVectors()
{
    QVERIFY(setPwrData(balancedV, balancedAngles, balancedV, balancedAngles));
    phaser->resize(600, 300);
    QCOMPARE(phaser->plotRadius(), 600 * 15 / 2 - 440);
    const DiagramElements &e = phaser->elements();
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(e.lVolt[k].p2, QPointF(0, 0));
        QCOMPARE(e.lCurrent[k].p2, QPointF(0, 0));
        QCOMPARE(e.lblVolt[k].topLeft, QPointF(0, 0));
    }
}

void TestPhaserControl::vectorLabelsStayClear_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("pointSize"); // set after the vectors
    QTest::addColumn<Triple>("voltageAngles");
    QTest::addColumn<Triple>("currentAngles");
    for (const QSize size : {QSize(433, 401), QSize(866, 802)}) {
        QTest::addRow("simulated meter %d", size.width()) << size << 9 << balancedAngles << Triple{330, 210, 90};
        QTest::addRow("on the axes %d", size.width()) << size << 9 << Triple{0, 90, 180} << Triple{270, 0, 90};
        QTest::addRow("3 degrees apart %d", size.width()) << size << 9 << balancedAngles << Triple{3, 210, 357};
        QTest::addRow("large font %d", size.width()) << size << 16 << balancedAngles << Triple{330, 210, 90};
    }
}

// Labels lie inside, clear of marks and labels; one leaves its place beyond its tip only if blocked, not far.
void TestPhaserControl::vectorLabelsStayClear()
{
    QFETCH(QSize, size);
    QFETCH(int, pointSize);
    QFETCH(Triple, voltageAngles);
    QFETCH(Triple, currentAngles);
    phaser->resize(size);
    QVERIFY(setPwrData(balancedV, voltageAngles, {5, 5, 5}, currentAngles));
    phaser->setFont(QFont(phaser->font().family(), pointSize));
    QVERIFY(testsupport::saveScreenshot(phaser, QStringLiteral("phaser_%1").arg(QTest::currentDataTag())));
    const QRectF control(QPointF(size.width(), size.height()) * -7.5, QSizeF(size) * 15.0);
    const DiagramElements &e = phaser->elements();
    const QList<LabelElement> labels{e.lblVolt[0], e.lblVolt[1], e.lblVolt[2], e.lblCurrent[0], e.lblCurrent[1],
                                     e.lblCurrent[2], e.lblDegree[0], e.lblDegree[1], e.lblDegree[2], e.lblDegree[3]};
    const auto clashes = [&](const QRectF &rect, const QByteArray &self, double gap) {
        return std::any_of(labels.cbegin(), labels.cend(), [&](const LabelElement &other) {
            return other.caption.toLatin1() != self && rect.intersects(other.rect().adjusted(-gap, -gap, gap, gap));
        });
    };
    for (int i = 0; i < 6; ++i) {
        const double radians = (i < 3 ? voltageAngles[i] : currentAngles[i - 3]) * Pi / 180;
        const QPointF own = QPointF(std::cos(radians), -std::sin(radians)) * (phaser->plotRadius() + 200);
        const QRectF rect = labels[i].rect(), ownPlace = rect.translated(own - rect.center());
        const QByteArray name = labels[i].caption.toLatin1();
        QVERIFY2(control.contains(rect) && !clashes(rect, name, 0), name);
        QVERIFY2(rect == ownPlace || !control.contains(ownPlace) || clashes(ownPlace, name, LabelClearance), name);
        QVERIFY2(lengthOf(rect.center() - own) < 2 * lengthOf(QPointF(rect.width(), rect.height())), name);
    }
}

void TestPhaserControl::degreeMarksLieInside_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("phasor window") << QSize(433, 401) << 9;
    QTest::newRow("phasor window enlarged") << QSize(866, 802) << 9;
    QTest::newRow("square") << QSize(400, 400) << 9;
    QTest::newRow("wide") << QSize(600, 300) << 9;
    QTest::newRow("tall") << QSize(300, 600) << 9;
    QTest::newRow("large font") << QSize(433, 401) << 20;
}

// Every angle mark, sized to show its whole text, lies inside the control and
// stays beside the end of its own axis.
void TestPhaserControl::degreeMarksLieInside()
{
    QFETCH(QSize, size);
    QFETCH(int, pointSize);
    QFont font = phaser->font();
    font.setPointSize(pointSize);
    phaser->setFont(font);
    phaser->resize(size);

    const QRectF control(-size.width() * 15.0 / 2, -size.height() * 15.0 / 2, size.width() * 15.0,
                         size.height() * 15.0);
    const QFontMetricsF metrics(font);
    const std::array<LabelElement, 4> &marks = phaser->elements().lblDegree;
    for (const LabelElement &mark : marks) {
        const QRectF rect = mark.rect();
        QVERIFY2(control.contains(rect), qPrintable(mark.caption));
        QVERIFY2(rect.width() >= metrics.horizontalAdvance(mark.caption) * 15.0, qPrintable(mark.caption));
        QVERIFY2(rect.height() >= metrics.height() * 15.0, qPrintable(mark.caption));
    }
    // 0 right of the centre on the x axis, 180 left of it; 90 above, 270 below.
    QVERIFY(marks[0].rect().left() > 0 && marks[0].rect().contains(marks[0].rect().right() - 1, 0));
    QVERIFY(marks[2].rect().right() < 0 && marks[2].rect().contains(marks[2].rect().left() + 1, 0));
    QVERIFY(marks[1].rect().bottom() < 0 && marks[1].rect().contains(0, marks[1].rect().top() + 1));
    QVERIFY(marks[3].rect().top() > 0 && marks[3].rect().contains(0, marks[3].rect().bottom() - 1));
}

void TestPhaserControl::errorPath_data()
{
    QTest::addColumn<float>("va");
    QTest::addColumn<float>("angleIc");
    QTest::newRow("length beyond a Single") << 1e38f << 0.0f;
    QTest::newRow("NaN voltage") << notANumber << 0.0f;
    QTest::newRow("angle of 32768 turns") << 230.0f << 32768.0f * 360.0f;
    QTest::newRow("NaN angle") << 230.0f << notANumber;
    QTest::newRow("infinite angle") << 230.0f << -std::numeric_limits<float>::infinity();
}

void TestPhaserControl::errorPath()
{
    QFETCH(float, va);
    QFETCH(float, angleIc);
    QVERIFY(!setPwrData({va, 1e-30f, 230}, balancedAngles, {5, 5, 5}, {330, 210, angleIc}));
    QCOMPARE(site.messages.size(), 1);
    QCOMPARE(site.messages[0].icon, hosting::MessageIcon::Critical);
    QCOMPARE(site.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(site.messages[0].text, QStringLiteral("Overflow"));
    // Lengths and angles are all checked before anything moves.
    for (const LineElement &line : phaser->elements().lVolt)
        QCOMPARE(line.p2, QPointF(0, 0));
}

void TestPhaserControl::errorKeepsElementsAlreadyPlaced()
{
    // Vc's length is a Single, but its end lies beyond the coordinate range.
    QVERIFY(!setPwrData({1, 1, 1e7f}, balancedAngles, {5, 5, 5}, {330, 210, 90}));
    QCOMPARE(site.messages.size(), 1);
    const DiagramElements &e = phaser->elements();
    QVERIFY(lengthOf(e.lVolt[0].p2) > 0);
    QVERIFY(lengthOf(e.lCurrent[1].p2) > 0);
    QCOMPARE(e.lVolt[2].p2, QPointF(0, 0));
    QCOMPARE(e.lCurrent[2].p2, QPointF(0, 0));
}

void TestPhaserControl::errorsDoNotStackMessages()
{
    const Triple bad{notANumber, 1, 1};
    int nestedFailures = 0;
    site.whileShown = [&] {
        // A host timer calling again while the first message is still open.
        if (!setPwrData(bad, balancedAngles, bad, balancedAngles))
            ++nestedFailures;
    };
    QVERIFY(!setPwrData(bad, balancedAngles, bad, balancedAngles));
    QCOMPARE(nestedFailures, 1);
    QCOMPARE(site.messages.size(), 1);
    site.whileShown = nullptr;
    QVERIFY(!setPwrData(bad, balancedAngles, bad, balancedAngles));
    QCOMPARE(site.messages.size(), 2); // released once the message is closed
}

void TestPhaserControl::doubleClickTogglesSizeAndRaisesDblClick()
{
    QWidget host;
    host.resize(1200, 1000);
    phaser->setParent(&host);
    phaser->setGeometry(30, 40, 433, 401);
    phaser->show();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    EventRecorder sink;
    int cookie = 0;
    QCOMPARE(phaser->advise(DIID_PhaserEvents, &sink, &cookie), Status::Ok);

    QTest::mouseDClick(phaser, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(phaser->geometry(), QRect(30, 40, 866, 802));
    QVERIFY(phaser->isEnlarged());
    QCOMPARE(phaser->plotRadius(), 866 * 15 / 2 - 440);
    QCOMPARE(sink.events, QList<hosting::DispId>{dispid::DblClick});

    QTest::mouseDClick(phaser, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(phaser->geometry(), QRect(30, 40, 433, 401));
    QVERIFY(!phaser->isEnlarged());
    QCOMPARE(sink.events, (QList<hosting::DispId>{dispid::DblClick, dispid::DblClick}));

    QTest::mouseDClick(phaser, Qt::RightButton, {}, QPoint(10, 10));
    QCOMPARE(phaser->size(), QSize(433, 401));
    QCOMPARE(phaser->unadvise(cookie), Status::Ok);
    QTest::mouseDClick(phaser, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(sink.events.size(), 2);
}

QTEST_MAIN(TestPhaserControl)
#include "test_phaser_control.moc"
