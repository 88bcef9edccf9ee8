// The control as the program meets it: registered in a control registry of
// the test's own, created by its ProgID from the built library, driven by
// dispatch ids.

#include "phasorctl/gyroscribe_typelib.h"
#include "phasorctl/hosting/control_host.h"
#include "phasorctl/hosting/control_registry.h"
#include "phasorctl/phaser_calls.h"
#include "recorders.h"
#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLibrary>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <memory>
#include <numbers>

using namespace gyroscribe;
using hosting::Status;

namespace {

const QString progId = QString::fromLatin1(PhaserProgId);
const QString libraryFile = QStringLiteral(GYROSCRIBE_LIBRARY_FILE);

enum class Setup { NoRegistry, OtherControlOnly, LibraryMissing, WrongClass, MalformedEntry };

void registerAs(const QUuid &classId, const QString &library)
{
    QCOMPARE(hosting::writeRegistration({classId, progId, library, QUuid()}), Status::Ok);
}

// True when a pixel near p has about the colour wanted (lines are antialiased).
bool colourNear(const QImage &image, QPointF p, QColor wanted)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = image.pixelColor(int(std::lround(p.x())) + dx,
                                              int(std::lround(p.y())) + dy);
            if (std::abs(c.red() - wanted.red()) + std::abs(c.green() - wanted.green()) +
                    std::abs(c.blue() - wanted.blue()) < 60)
                return true;
        }
    return false;
}

} // namespace

class TestControlHosting : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void registerWithTheToolThenCreateByProgId();
    void userRegistryFirstThenTheSystems();
    void creationFailures_data();
    void creationFailures();
    void eventsAndMessagesReachTheHost();
    void renderRealisticDiagram();

private:
    QString registryFile() const { return dir->filePath(QStringLiteral("registry.ini")); }
    hosting::IControl *create(QWidget *parent = nullptr)
    {
        const hosting::ControlCreation created = hosting::createControl(progId, parent);
        if (!created.control)
            qWarning("%s", qPrintable(created.error));
        return created.control;
    }

    std::unique_ptr<QTemporaryDir> dir;
};

void TestControlHosting::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Never the user's own registry.
    qputenv("CONTROL_REGISTRY", QFile::encodeName(registryFile()));
}

void TestControlHosting::cleanup()
{
    qunsetenv("CONTROL_REGISTRY");
    dir.reset();
}

// Without CONTROL_REGISTRY a lookup reads the user's registry, then the
// system-wide one an installed package writes.
void TestControlHosting::userRegistryFirstThenTheSystems()
{
    const QString user = dir->filePath(QStringLiteral("home"));
    const QString system = dir->filePath(QStringLiteral("etc-xdg"));
    const auto registerIn = [](const QString &folder, const QString &library) {
        qputenv("CONTROL_REGISTRY", QFile::encodeName(folder + QStringLiteral("/control-hosting/registry.ini")));
        registerAs(CLSID_Phaser, library);
        qunsetenv("CONTROL_REGISTRY");
    };
    qunsetenv("CONTROL_REGISTRY");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(user));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));
    const auto lookedUp = [] { return hosting::findRegistration(progId); };

    QVERIFY(!lookedUp().registration);
    QVERIFY2(lookedUp().error.contains(user) && lookedUp().error.contains(system), qPrintable(lookedUp().error));
    registerIn(system, QStringLiteral("/usr/lib/ampwright/libgyroscribe.so"));
    QCOMPARE(lookedUp().registration->libraryPath, QStringLiteral("/usr/lib/ampwright/libgyroscribe.so"));
    registerIn(user, libraryFile);
    QCOMPARE(lookedUp().registration->libraryPath, libraryFile);
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_DIRS");
}

void TestControlHosting::registerWithTheToolThenCreateByProgId()
{
    const QString tool = testsupport::binDir() + QStringLiteral("/regcontrol");
    QCOMPARE(QProcess::execute(tool, {libraryFile}), 0);

    const hosting::RegistrationLookup lookup = hosting::findRegistration(progId);
    QVERIFY2(lookup.registration, qPrintable(lookup.error));
    QCOMPARE(lookup.registration->classId, CLSID_Phaser);
    QCOMPARE(lookup.registration->libraryPath, QFileInfo(libraryFile).canonicalFilePath());
    QCOMPARE(lookup.registration->typeLibrary, LIBID_GyroscribeLib);

    std::unique_ptr<hosting::IControl> control(create());
    QVERIFY(control);
    QCOMPARE(control->classId(), CLSID_Phaser);
    control->initProperties();
    std::int32_t direction = -1;
    QCOMPARE(getEnlargeDirection(*control, &direction), Status::Ok);
    QCOMPARE(direction, std::int32_t(EnlargeDirEnum::RIGHT_BOTTOM));
    QCOMPARE(putEnlargeDirection(*control, 1234), Status::Ok); // no range check
    QCOMPARE(getEnlargeDirection(*control, &direction), Status::Ok);
    QCOMPARE(direction, 1234);

    // The library may be unloaded only while none of its controls lives.
    QLibrary library(libraryFile);
    const auto canUnloadNow =
        reinterpret_cast<hosting::DllCanUnloadNowFunction>(library.resolve("DllCanUnloadNow"));
    QVERIFY(canUnloadNow);
    QCOMPARE(Status(canUnloadNow()), Status::False);
    control.reset();
    QCOMPARE(Status(canUnloadNow()), Status::Ok);

    QCOMPARE(QProcess::execute(tool, {QStringLiteral("--unregister"), libraryFile}), 0);
    const hosting::ControlCreation gone = hosting::createControl(progId, nullptr);
    QVERIFY(!gone.control);
    QVERIFY2(gone.error.contains(QStringLiteral("is not registered in the control registry")),
             qPrintable(gone.error));
}

void TestControlHosting::creationFailures_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no registry") << Setup::NoRegistry
                                 << QStringLiteral("The control \"GyroscribeLib.Phaser\" is not "
                                                   "registered: the control registry {registry} does not exist.");
    QTest::newRow("no entry") << Setup::OtherControlOnly
                              << QStringLiteral("The control \"GyroscribeLib.Phaser\" is not "
                                                "registered in the control registry {registry}.");
    QTest::newRow("library missing")
        << Setup::LibraryMissing
        << QStringLiteral("The library {library} registered for the control \"GyroscribeLib.Phaser\" "
                          "does not exist.");
    QTest::newRow("wrong class")
        << Setup::WrongClass
        << QStringLiteral("The library {library} does not provide the class "
                          "{0c6a83b9-5f4e-4f53-8a3e-1f2b3c4d5e6f} that is registered for the "
                          "control \"GyroscribeLib.Phaser\".");
    QTest::newRow("malformed entry")
        << Setup::MalformedEntry
        << QStringLiteral("The control registry {registry} holds no valid entry for the control "
                          "\"GyroscribeLib.Phaser\"; register its library again.");
}

void TestControlHosting::creationFailures()
{
    QFETCH(Setup, setup);
    QFETCH(QString, expected);
    QString library = libraryFile;
    switch (setup) {
    case Setup::NoRegistry:
        break;
    case Setup::OtherControlOnly:
        QCOMPARE(hosting::writeRegistration({QUuid::createUuid(), QStringLiteral("Other.Control"),
                                             libraryFile, QUuid()}),
                 Status::Ok);
        break;
    case Setup::LibraryMissing:
        library = dir->filePath(QStringLiteral("gone/libgyroscribe.so"));
        registerAs(CLSID_Phaser, library);
        break;
    case Setup::WrongClass:
        registerAs(QUuid::fromString(u"0c6a83b9-5f4e-4f53-8a3e-1f2b3c4d5e6f"), libraryFile);
        break;
    case Setup::MalformedEntry: {
        registerAs(CLSID_Phaser, libraryFile);
        QSettings registry(registryFile(), QSettings::IniFormat);
        registry.setValue(QStringLiteral("ProgIDs/") + progId, QStringLiteral("not a class id"));
        break;
    }
    }

    QWidget parent;
    const hosting::ControlCreation created = hosting::createControl(progId, &parent);
    QVERIFY(!created.control);
    QVERIFY(parent.children().isEmpty());
    const QString text = expected.replace(QStringLiteral("{registry}"), registryFile())
                             .replace(QStringLiteral("{library}"), library);
    QVERIFY2(created.error.startsWith(text), qPrintable(created.error));
}

void TestControlHosting::eventsAndMessagesReachTheHost()
{
    QCOMPARE(hosting::runLibraryRegistration(libraryFile, hosting::RegistrationAction::Register),
             QString());
    QWidget host;
    host.resize(1000, 900);
    hosting::IControl *control = create(&host);
    QVERIFY(control);
    QCOMPARE(control->widget()->parentWidget(), &host);
    control->widget()->setGeometry(10, 10, 433, 401);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    EventRecorder sink;
    int cookie = 0;
    QCOMPARE(control->advise(IID_PhaserInterface, &sink, &cookie), Status::NoInterface);
    QCOMPARE(control->advise(DIID_PhaserEvents, &sink, &cookie), Status::Ok);
    QTest::mouseDClick(control->widget(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(control->widget()->size(), QSize(866, 802));
    QCOMPARE(sink.events, QList<hosting::DispId>{dispid::DblClick});

    MessageRecorder site;
    control->setSite(&site);
    PwrData data{230, 230, 230, 0, 240, 120, 5, 5, 5, 330, 210, 1.2e7f};
    bool drawn = true;
    QCOMPARE(callSetPwrData(*control, data, &drawn), Status::Ok);
    QVERIFY(!drawn);
    QCOMPARE(site.messages.size(), 1);
    QCOMPARE(site.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(site.messages[0].text, QStringLiteral("Overflow"));
    control->setSite(nullptr);
}

void TestControlHosting::renderRealisticDiagram()
{
    QCOMPARE(hosting::runLibraryRegistration(libraryFile, hosting::RegistrationAction::Register),
             QString());
    std::unique_ptr<hosting::IControl> control(create());
    QVERIFY(control);
    QWidget *surface = control->widget();
    surface->resize(433, 401); // the phasor window's size for the control
    surface->show();
    QVERIFY(QTest::qWaitForWindowExposed(surface));

    // 230 V at 0, 240 and 120 degrees; 5 A lagging each voltage by 30 degrees.
    PwrData data{230, 230, 230, 0, 240, 120, 5, 5, 5, -30, 210, 90};
    bool drawn = false;
    QCOMPARE(callSetPwrData(*control, data, &drawn), Status::Ok);
    QVERIFY(drawn);
    QCOMPARE(data.sngDeg_Ia, -30.0f); // arguments are read, never changed

    const QImage image = surface->grab().toImage();
    const QString file = testsupport::buildDir() + QStringLiteral("/phaser_render.png");
    QVERIFY(image.save(file));

    // Halfway along each vector lies its colour. The radius in pixels:
    // (max(433, 401) * 15 / 2 - 440) / 15.
    const double half = (433.0 * 15 / 2 - 440) / 15 / 2;
    const QPointF centre(433 / 2.0, 401 / 2.0);
    auto along = [&](double degrees) {
        const double r = degrees * std::numbers::pi / 180;
        return centre + QPointF(half * std::cos(r), -half * std::sin(r));
    };
    QVERIFY(colourNear(image, along(0), QColor(0, 0, 255)));
    QVERIFY(colourNear(image, along(240), QColor(255, 0, 0)));
    QVERIFY(colourNear(image, along(120), QColor(0, 192, 0)));
    QVERIFY(colourNear(image, along(330), QColor(0, 192, 192)));
    QVERIFY(colourNear(image, along(210), QColor(255, 128, 0)));
    QVERIFY(colourNear(image, along(90), QColor(192, 192, 0)));
    QVERIFY(colourNear(image, along(45), QColor(255, 255, 255)));
}

QTEST_MAIN(TestControlHosting)
#include "test_control_hosting.moc"
