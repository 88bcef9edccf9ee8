// ampwright-cli against the simulated meter, beside the window on the same
// meter: the same live values, the same CSV file, the same start of a date
// range; and a batch that goes on past a meter that never answers.
#include "gui/loadprofile/date_range_panel.h"
#include "loadprofile/download_job.h"
#include "lpdata/date_serial.h"
#include "meter/live_values.h"
#include "meter/quantities.h"
#include "meter_session.h"
#include "session/poll_cycle.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>
#include <numbers>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run runCli(const QStringList &args)
{
    QProcess tool;
    tool.start(QDir(testsupport::binDir()).filePath(QStringLiteral("ampwright-cli")), args);
    if (!tool.waitForFinished(120000))
        tool.kill();
    return {tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput()),
            QString::fromLocal8Bit(tool.readAllStandardError())};
}

QByteArrayList linesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList{};
}

QString onlyFileIn(const QString &folder)
{
    const QStringList files = QDir(folder).entryList(QDir::Files);
    return files.size() == 1 ? QDir(folder).filePath(files.first()) : QString();
}

} // namespace

class TestCliWithMeter : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        session_ = std::make_unique<testsupport::MeterSession>();
        dir_ = std::make_unique<QTemporaryDir>();
        // The window's folder: its language file, and room for "LP Data".
        for (const char *name : {"english.ini", "titlee.txt"})
            QFile::copy(QDir(testsupport::binDir()).filePath(QLatin1String(name)),
                        dir_->filePath(QLatin1String(name)));
    }
    void cleanup()
    {
        session_.reset();
        dir_.reset();
    }
    void readShowsWhatTheWindowShows();
    void readGivesHarmonicSpectra();
    void readLeavesOutWhatTheMeterRefuses_data();
    void readLeavesOutWhatTheMeterRefuses();
    void csvOfChosenQuantitiesIsATrendRecording();
    void downloadWritesTheWindowsFile_data();
    void downloadWritesTheWindowsFile();
    void dateRangeStartsWhereTheWindowsDoes();
    void batchGoesOnPastAMeterThatNeverAnswers();

private:
    // The window online with the meter, its group 1 of 100 records listed.
    bool windowOnline(const QString &programDir)
    {
        return session_->openWindow(programDir) && session_->goOnline([&] {
            return session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->count() == 100;
        });
    }
    std::unique_ptr<testsupport::MeterSession> session_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestCliWithMeter::readShowsWhatTheWindowShows()
{
    QVERIFY2(session_->startMeter({}, true), qPrintable(session_->error()));
    const Run run = runCli({QStringLiteral("read"), QStringLiteral("--tcp"), session_->address(),
                            QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--log")});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    // --log: the window's traffic lines, the firmware read first.
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  TX  #1  unit 15  fc 04  start 0x1018 count 4"))
                 .match(run.err).hasMatch(),
             qPrintable(run.err.left(200)));
    QVERIFY(run.err.contains(QLatin1String("answer taken")));
    const QJsonObject read = QJsonDocument::fromJson(run.out.toUtf8()).object();
    // Numbers as numbers, texts as texts, the clock as ISO 8601.
    QCOMPARE(read.value(QStringLiteral("voltage_ln_a")).toDouble(-1), 230.0);
    QCOMPARE(read.value(QStringLiteral("serial_number")).toString(), QStringLiteral("AWMETER012345678"));
    QVERIFY(QDateTime::fromString(read.value(QStringLiteral("meter_time")).toString(), Qt::ISODate).isValid());

    // The same values as the window's reading of the same meter.
    QVERIFY(windowOnline(testsupport::binDir()));
    QVERIFY(QTest::qWaitFor([&] { return session_->window().poll().reading().value(meter::Kvah).has_value(); }));
    int given = 0;
    for (const meter::LiveValue &v : meter::liveValues(session_->window().poll().reading())) {
        if (v.name == QLatin1String("meter_time") || (!v.number && v.text.isEmpty()))
            continue; // the clock runs on; a value this firmware does not read is left out
        ++given;
        const QJsonValue value = read.value(v.name);
        if (v.isQuantity) {
            QVERIFY2(value.isDouble(), qPrintable(v.name));
            QCOMPARE(float(value.toDouble()), float(*v.number));
        } else {
            QCOMPARE(value.toString(), v.text);
        }
    }
    QCOMPARE(qsizetype(read.size()), qsizetype(given + 1));
}

void TestCliWithMeter::readGivesHarmonicSpectra()
{
    QVERIFY2(session_->startMeter({}, true), qPrintable(session_->error()));
    const Run run = runCli({QStringLiteral("read"), QStringLiteral("--tcp"), session_->address(), QStringLiteral("--unit"),
                            QStringLiteral("15"), QStringLiteral("--harmonics"), QStringLiteral("all"),
                            QStringLiteral("--format"), QStringLiteral("json")});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QJsonObject harmonics =
        QJsonDocument::fromJson(run.out.toUtf8()).object().value(QStringLiteral("harmonics")).toObject();
    const QStringList channels{"va", "vb", "vc", "ia", "ib", "ic"};
    QCOMPARE(harmonics.keys().size(), channels.size());
    for (int ch = 0; ch < channels.size(); ++ch) {
        const QJsonArray values = harmonics.value(channels[ch]).toArray();
        QCOMPARE(values.size(), 32);
        // The simulated meter's spectrum: 100 % at first, then falling.
        for (int h = 0; h < 32; ++h) {
            QVERIFY2(values[h].isDouble(), qPrintable(channels[ch]));
            QCOMPARE(float(values[h].toDouble()), float(h == 0 ? 100.0 : (ch < 3 ? 3.0 : 12.0) / h));
        }
    }
}

void TestCliWithMeter::readLeavesOutWhatTheMeterRefuses_data()
{
    QTest::addColumn<QStringList>("meterOptions");
    QTest::addColumn<QStringList>("readOptions");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("absent");  // fields left out of the JSON
    QTest::addColumn<QStringList>("present"); // fields still there
    QTest::addColumn<QString>("told");        // on standard error

    QTest::newRow("block 2 refused")
        << QStringList{"--fault", "exception:2@reg=3:0x1064"} << QStringList{} << 0
        << QStringList{"voltage_ln_a", "kwh_delivered", "meter_time", "serial_number"} << QStringList{"frequency", "firmware"}
        << QStringLiteral("the meter refuses the read of holding registers 0x1064-0x1095, exception 02 (illegal data address): "
                          "its values are left out");
    QTest::newRow("CO2 refused")
        << QStringList{"--fault", "exception:4@reg=4:0x044C"} << QStringList{} << 0 << QStringList{"co2_emission"}
        << QStringList{"voltage_ln_a", "pt_ratio_float"}
        << QStringLiteral("the meter refuses the read of input registers 0x044C-0x0453, exception 04 (server device failure)");
    QTest::newRow("no spectra in this firmware")
        << QStringList{"--firmware", "V2505ABC"} << QStringList{"--harmonics", "all"} << 0 << QStringList{"harmonics"}
        << QStringList{"voltage_ln_a"} << QStringLiteral("the meter's firmware (V2505ABC) has no harmonic spectra");
    QTest::newRow("unknown channel") << QStringList{} << QStringList{"--harmonics", "va,vx"} << 2 << QStringList{}
                                     << QStringList{} << QStringLiteral("no harmonic channel is named \"vx\"");
}

void TestCliWithMeter::readLeavesOutWhatTheMeterRefuses()
{
    QFETCH(QStringList, meterOptions);
    QFETCH(QStringList, readOptions);
    QFETCH(int, code);
    QFETCH(QStringList, absent);
    QFETCH(QStringList, present);
    QFETCH(QString, told);
    QVERIFY2(session_->startMeter(meterOptions, true), qPrintable(session_->error()));
    const Run run = runCli(QStringList{"read", "--tcp", session_->address(), "--format", "json"} + readOptions);
    QCOMPARE(run.code, code);
    QVERIFY2(run.err.contains(told), qPrintable(run.err));
    QCOMPARE(run.err.count(told), 1);
    const QJsonObject read = QJsonDocument::fromJson(run.out.toUtf8()).object();
    for (const QString &field : absent)
        QVERIFY2(!read.contains(field), qPrintable(field));
    for (const QString &field : present)
        QVERIFY2(read.contains(field), qPrintable(field));
}

void TestCliWithMeter::csvOfChosenQuantitiesIsATrendRecording()
{
    QVERIFY2(session_->startMeter({}, true), qPrintable(session_->error()));
    const Run run = runCli({QStringLiteral("read"), QStringLiteral("--tcp"), session_->address(), QStringLiteral("--format"),
                            QStringLiteral("csv"), QStringLiteral("--quantities"), QStringLiteral("voltage_ln_a,pf_a")});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("time,voltage_ln_a (V),pf_a"));
    // Local time with milliseconds, then the float32s' shortest texts.
    const QStringList fields = lines[1].split(u',');
    QVERIFY2(QDateTime::fromString(fields[0], QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")).isValid(), qPrintable(lines[1]));
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields[1], QStringLiteral("230"));
    QCOMPARE(float(fields[2].toDouble()), float(std::cos(std::numbers::pi / 6)));
}

void TestCliWithMeter::downloadWritesTheWindowsFile_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp") << true;
}

void TestCliWithMeter::downloadWritesTheWindowsFile()
{
    QFETCH(bool, tcp);
    QVERIFY2(session_->startMeter({}, tcp), qPrintable(session_->error()));
    QVERIFY(windowOnline(dir_->path()));
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Start_No"))->setCurrentIndex(0);
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->setCurrentIndex(49);
    session_->started->control<QPushButton>(QStringLiteral("Command8"))->click();
    QVERIFY(QTest::qWaitFor([&] { return session_->shown(QStringLiteral("Text6")).contains(u'\uFF01'); }, 60000));
    session_->started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click(); // frees the port
    const QString windowFile = onlyFileIn(dir_->filePath(QStringLiteral("LP Data")));

    const QString out = dir_->filePath(QStringLiteral("cli"));
    const QStringList meter = tcp ? QStringList{QStringLiteral("--tcp"), session_->address()}
                                  : QStringList{QStringLiteral("--rtu"), QStringLiteral("3")};
    const Run run = runCli(QStringList{QStringLiteral("lp")} + meter
                           + QStringList{QStringLiteral("--group"), QStringLiteral("1"), QStringLiteral("--from"),
                                         QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("50"),
                                         QStringLiteral("--out"), out});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QString cliFile = onlyFileIn(out);
    QCOMPARE(QFileInfo(cliFile).fileName(), QFileInfo(windowFile).fileName());
    const QByteArrayList expected = linesOf(windowFile);
    QCOMPARE(expected.size(), 2 + 50 + 1);
    QCOMPARE(linesOf(cliFile).mid(1), expected.mid(1)); // line 1 holds the time of writing
}

void TestCliWithMeter::dateRangeStartsWhereTheWindowsDoes()
{
    QVERIFY2(session_->startMeter({}, true), qPrintable(session_->error()));
    QVERIFY(windowOnline(dir_->path()));
    app::MainForm &window = session_->window();
    window.dateRange().LPRangeDate = {lpdata::dateSerial(2024, 3, 1, 6, 7, 0),
                                      lpdata::dateSerial(2024, 3, 1, 7, 0, 0)};
    session_->started->control<QPushButton>(QStringLiteral("cmdReadLP2"))->click();
    QVERIFY(QTest::qWaitFor([&] { return window.download().LPDownloading(); }, 60000));
    const QString windowStart =
        session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Start_No"))->currentText();
    QVERIFY(QTest::qWaitFor([&] { return !window.download().LPDownloading(); }, 60000));
    session_->started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();

    const Run run = runCli({QStringLiteral("lp"), QStringLiteral("--tcp"), session_->address(),
                            QStringLiteral("--group"), QStringLiteral("1"), QStringLiteral("--since"),
                            QStringLiteral("2024-03-01 06:07"), QStringLiteral("--until"),
                            QStringLiteral("2024-03-01 07:00"), QStringLiteral("--out"), dir_->filePath(QStringLiteral("cli"))});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const auto started = QRegularExpression(QStringLiteral("^(\\d+) records from record (\\d+) on")).match(run.out);
    QVERIFY2(started.hasMatch(), qPrintable(run.out));
    QCOMPARE(started.captured(2), windowStart);
    QCOMPARE(started.captured(1), QStringLiteral("4")); // 06:15, 06:30, 06:45, 07:00
    QCOMPARE(linesOf(onlyFileIn(dir_->filePath(QStringLiteral("cli")))).mid(1),
             linesOf(onlyFileIn(dir_->filePath(QStringLiteral("LP Data")))).mid(1));
}

void TestCliWithMeter::batchGoesOnPastAMeterThatNeverAnswers()
{
    testsupport::MeterSim meters[3];
    for (int m = 0; m < 3; ++m) {
        QStringList options{QStringLiteral("--tcp"), QStringLiteral("127.0.63.%1:502").arg(m + 1)};
        if (m == 1)
            options << QStringLiteral("--fault") << QStringLiteral("drop@every=1");
        QVERIFY2(meters[m].start(options), qPrintable(meters[m].errorString()));
    }
    QFile list(dir_->filePath(QStringLiteral("meters.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("# three meters, the second never answers\n"
               "tcp=127.0.63.1 from=1 to=8\ntcp=127.0.63.2:502\ntcp=127.0.63.3 unit=15 group=1\n");
    list.close();

    const QString out = dir_->filePath(QStringLiteral("batch"));
    const Run run = runCli({QStringLiteral("lp"), QStringLiteral("--meters"), list.fileName(),
                            QStringLiteral("--group"), QStringLiteral("1"), QStringLiteral("--from"),
                            QStringLiteral("2"), QStringLiteral("--to"), QStringLiteral("5"), QStringLiteral("--out"), out});
    QCOMPARE(run.code, 1);
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4); // heading and a line per meter
    QVERIFY2(lines[1].contains(QLatin1String("127.0.63.1:502")) && lines[1].contains(QLatin1String("      8  ")),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].contains(QLatin1String("127.0.63.2:502")) && lines[2].contains(QLatin1String("FAILED: no answer")),
             qPrintable(lines[2]));
    QVERIFY2(lines[3].contains(QLatin1String("127.0.63.3:502")) && lines[3].contains(QLatin1String("      4  ")),
             qPrintable(lines[3]));
}

QTEST_MAIN(TestCliWithMeter)
#include "test_cli_with_meter.moc"
