// Load-profile downloads through the real window from the simulated meter:
// the CSV rows equal, byte for byte, rows computed here from the meter's
// record rule, the file names follow the day's counter and stay inside the
// folder, and answers lost on the way lose or double no record.
#include "gui/loadprofile/date_range_panel.h"
#include "gui/loadprofile/download_panel.h"
#include "gui/ui/caption.h"
#include "lp_meter_rows.h"
#include "meter_session.h"
#include "modbus/transactions.h"
#include "screenshot.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kPatienceMs = 60000;
using lptest::expectedRow;

// Per answer taken right after its request: the time beyond the window's TCP pause.
struct BeyondPause : modbus::TrafficObserver {
    QElapsedTimer clock;
    qint64 sentAt = -1, function = 0;
    QList<qint64> ms;
    void traffic(const modbus::TrafficEvent &e) override
    {
        if (e.kind == modbus::TrafficEvent::Kind::Received && sentAt >= 0)
            ms << clock.elapsed() - sentAt - (function == 16 ? 500 : 200);
        sentAt = e.kind == modbus::TrafficEvent::Kind::Sent ? clock.elapsed() : -1;
        function = e.bytes.size() > 7 ? e.bytes[7] : 0;
    }
};

} // namespace

class TestLPDownloadWithMeter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rowsOfARange_data();
    void rowsOfARange();
    void byDateRange_data();
    void byDateRange();
    void namesCountUpAndStayInTheFolder();
    void beginLaterThanEndMovesTheEnd();
    void choosingTheShownMonthKeepsTheDay();
    void startsRefusedWithoutNumbersOrChannels();
    void lostAnswersLoseAndDoubleNoRecord();
    void screenshotsDuringAndAfter();

private:
    void goOnline(const QStringList &meterOptions = {}, bool tcp = false);
    // Downloads records first..last of group 1; the path of the new file.
    QString download(int first, int last);
    QString shown(const QString &control, int index = -1) const
    {
        return session_->shown(control, index);
    }

    std::unique_ptr<QTemporaryDir> programDir_;
    std::unique_ptr<testsupport::MeterSession> session_;
    BeyondPause beyondPause_; // outlives the window it watches
};

void TestLPDownloadWithMeter::init()
{
    session_ = std::make_unique<testsupport::MeterSession>();
    programDir_ = testsupport::englishProgramFolder();
    QVERIFY(programDir_);
}

void TestLPDownloadWithMeter::cleanup()
{
    session_.reset();
    programDir_.reset();
}

void TestLPDownloadWithMeter::goOnline(const QStringList &meterOptions, bool tcp)
{
    QVERIFY2(session_->startMeter(meterOptions, tcp), qPrintable(session_->error()));
    QVERIFY(session_->openWindow(programDir_->path()));
    // The record-number lists follow the meter's 100 records of group 1.
    QVERIFY(session_->goOnline([&] {
        return session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->count()
               == 100;
    }));
}

QString TestLPDownloadWithMeter::download(int first, int last)
{
    const QDir folder(programDir_->filePath(QStringLiteral("LP Data")));
    const QStringList before = folder.entryList(QDir::Files);
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Start_No"))->setCurrentIndex(first - 1);
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->setCurrentIndex(last - 1);
    session_->started->control<QPushButton>(QStringLiteral("Command8"))->click();
    const QString done = QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01")
                             .arg(last);
    if (!QTest::qWaitFor([&] { return shown(QStringLiteral("Text6")) == done; }, kPatienceMs))
        return QStringLiteral("not finished: ") + shown(QStringLiteral("Text6"));
    QStringList added = folder.entryList(QDir::Files);
    for (const QString &name : before)
        added.removeAll(name);
    return added.size() == 1 ? folder.filePath(added.first()) : QString();
}

void TestLPDownloadWithMeter::rowsOfARange_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("tcp");
    QTest::newRow("one record") << 3 << 3 << false;
    QTest::newRow("blocks of 4 and 1") << 1 << 5 << false;
    QTest::newRow("blocks of 4 and 1, TCP") << 1 << 5 << true;
    QTest::newRow("across midnight") << 95 << 100 << false;
}

void TestLPDownloadWithMeter::rowsOfARange()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, tcp);
    goOnline({}, tcp);
    beyondPause_.clock.start();
    session_->window().transactions().setTrafficObserver(tcp ? &beyondPause_ : nullptr);
    const QString path = download(first, last);
    session_->window().transactions().setTrafficObserver(nullptr);
    QVERIFY(!tcp || beyondPause_.ms.size() >= 4); // two blocks: each a write and a read
    for (qint64 ms : std::as_const(beyondPause_.ms))
        QVERIFY2(ms >= 0 && ms < 400, qPrintable(QString::number(ms)));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 2 + (last - first + 1) + 1); // header lines, rows, end
    QVERIFY(lines[0].startsWith("Date : "));
    QCOMPARE(lines[1], QByteArray("Date,Time,Vln_avg(point),I_avg(point),kW_avg(interval),"
                                  "kVar_avg(interval),kVA_avg(interval),kWh+(total),"
                                  "kvarh+(total),kVAh(total)\r"));
    for (int record = first; record <= last; ++record)
        QCOMPARE(lines[2 + record - first], expectedRow(record).toLatin1() + '\r');
    QVERIFY(session_->started->control<QWidget>(QStringLiteral("cmdStopLPRead"))->isHidden());
    QVERIFY(session_->started->window->poll().running());
}

void TestLPDownloadWithMeter::byDateRange_data()
{
    QTest::addColumn<QStringList>("begin"); // year (two digits), month, day, hour, minute
    QTest::addColumn<QStringList>("end");
    QTest::addColumn<int>("first");         // records written, 0 for none
    QTest::addColumn<int>("last");
    QTest::newRow("end inside a block") << QStringList{"24", "3", "1", "1", "0"}
                                        << QStringList{"24", "3", "1", "1", "40"} << 5 << 7;
    QTest::newRow("begin before the oldest") << QStringList{"24", "2", "28", "0", "0"}
                                             << QStringList{"24", "3", "1", "0", "30"} << 1 << 3;
    QTest::newRow("begin after the newest") << QStringList{"24", "3", "5", "0", "0"}
                                            << QStringList{"24", "3", "6", "0", "0"} << 0 << 0;
}

void TestLPDownloadWithMeter::byDateRange()
{
    QFETCH(QStringList, begin);
    QFETCH(QStringList, end);
    QFETCH(int, first);
    QFETCH(int, last);
    goOnline();
    const char *selectors[2] = {"cmbLPReadBeginTime", "cmbLPReadEndTime"};
    for (int s : {1, 0}) { // the end first: a begin later than it moves it
        const QStringList &chosen = s == 1 ? end : begin;
        for (int field = 0; field < 5; ++field) {
            auto *box = session_->started->window->controls().require<QComboBox>(
                QLatin1String(selectors[s]), field);
            box->setCurrentIndex(box->findText(chosen.at(field)));
            session_->started->window->dateRange().dateFieldChosen(s, field);
        }
    }
    session_->started->control<QPushButton>(QStringLiteral("cmdReadLP2"))->click();
    QVERIFY2(QTest::qWaitFor([&] { return shown(QStringLiteral("Text6")).contains(u'\uFF01'); },
                             kPatienceMs),
             qPrintable(shown(QStringLiteral("Text6"))));

    const QDir folder(programDir_->filePath(QStringLiteral("LP Data")));
    const QStringList files = folder.entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile file(folder.filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    const int rows = first == 0 ? 0 : last - first + 1;
    QCOMPARE(lines.size(), 2 + rows + 1);
    for (int i = 0; i < rows; ++i)
        QCOMPARE(lines[2 + i], expectedRow(first + i).toLatin1() + '\r');
}

void TestLPDownloadWithMeter::namesCountUpAndStayInTheFolder()
{
    // Characters 9 to 16 of this serial number hold "/" and "..".
    goOnline({QStringLiteral("--serial"), QStringLiteral("AWMETER0/../x/..")});
    QVERIFY(QTest::qWaitFor([&] { return !shown(QStringLiteral("txtMeterSerial")).isEmpty(); },
                            kPatienceMs));
    const QString base = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                         + QStringLiteral("_Group1");
    QStringList names;
    for (int n = 0; n < 3; ++n) {
        const QString path = download(1, 1);
        QCOMPARE(QFileInfo(path).absolutePath(),
                 QDir(programDir_->filePath(QStringLiteral("LP Data"))).absolutePath());
        names << QFileInfo(path).fileName();
    }
    QVERIFY2(names[0].endsWith(base + QStringLiteral(".csv")), qPrintable(names[0]));
    QVERIFY2(names[1].endsWith(base + QStringLiteral("_1.csv")), qPrintable(names[1]));
    QVERIFY2(names[2].endsWith(base + QStringLiteral("_2.csv")), qPrintable(names[2]));
    QVERIFY(!names[0].contains(QLatin1String("..")));
}

void TestLPDownloadWithMeter::lostAnswersLoseAndDoubleNoRecord()
{
    // About 2 % of the answers are lost or corrupted: pointer writes and
    // block reads are tried again within their transactions.
    goOnline({QStringLiteral("--fault"), QStringLiteral("drop@every=50"), QStringLiteral("--fault"),
              QStringLiteral("crc@every=47")});
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Start_No"))->setCurrentIndex(0);
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->setCurrentIndex(99);
    session_->started->control<QPushButton>(QStringLiteral("Command8"))->click();

    // Then the meter stops answering block reads: the link goes offline in
    // the middle of the download.
    QVERIFY(QTest::qWaitFor([&] { return session_->started->window->download().LPNextRecord() >= 20; },
                            kPatienceMs));
    QVERIFY(session_->meter->sendCommand(QStringLiteral("drop@reg=4:0x2000,times=3")));
    QVERIFY(QTest::qWaitFor([&] { return !session_->started->window->link().LinkOnline(); }, kPatienceMs));
    QVERIFY(session_->started->window->download().hasRecordsLeft());

    // Online again, the user chooses to continue the download.
    session_->started->control<QPushButton>(QStringLiteral("cmdOnLine"))->click();
    session_->started->messages.answer = ui::MessageAnswer::Yes;
    session_->started->control<QPushButton>(QStringLiteral("Command8"))->click();
    const QString done = QStringLiteral("Last number of download interval : 100\uFF0Cand finish download\uFF01");
    QVERIFY2(QTest::qWaitFor([&] { return shown(QStringLiteral("Text6")) == done; }, kPatienceMs),
             qPrintable(shown(QStringLiteral("Text6"))));

    const QStringList files = QDir(programDir_->filePath(QStringLiteral("LP Data"))).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile file(QDir(programDir_->filePath(QStringLiteral("LP Data"))).filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 2 + 100 + 1);
    for (int record = 1; record <= 100; ++record)
        QCOMPARE(lines[1 + record], expectedRow(record).toLatin1() + '\r');
}

void TestLPDownloadWithMeter::screenshotsDuringAndAfter()
{
    goOnline({QStringLiteral("--baud"), QStringLiteral("19200")});
    app::MainForm &window = *session_->started->window;
    window.resize(1280, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    session_->started->control<QPushButton>(QStringLiteral("Command10(3)"))->click(); // data read
    session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->setCurrentIndex(99);
    session_->started->control<QPushButton>(QStringLiteral("Command8"))->click();
    QVERIFY(QTest::qWaitFor([&] { return window.download().LPNextRecord() >= 40; }, kPatienceMs));
    QVERIFY(testsupport::saveScreenshot(&window, QStringLiteral("lp_read_during_download")));
    QVERIFY(QTest::qWaitFor([&] { return !window.download().LPDownloading(); }, kPatienceMs));
    testsupport::showWholePage(window);
    QVERIFY(testsupport::saveScreenshot(&window, QStringLiteral("lp_read_after_download")));
    for (int pageButton : {1, 2}) { // setting, records
        session_->started->control<QPushButton>(QStringLiteral("Command10(%1)").arg(pageButton))->click();
        QVERIFY(testsupport::saveScreenshot(&window, QStringLiteral("lp_page_%1").arg(pageButton)));
    }
}

void TestLPDownloadWithMeter::beginLaterThanEndMovesTheEnd()
{
    QVERIFY(session_->openWindow(programDir_->path()));
    const ui::ControlMap &controls = session_->started->window->controls();
    const auto field = [&](const char *selector, int index) {
        return controls.require<QComboBox>(QLatin1String(selector), index);
    };
    // Both at 2012-01-01 00:00; the begin's year goes to 13.
    field("cmbLPReadBeginTime", 0)->setCurrentIndex(field("cmbLPReadBeginTime", 0)->findText("13"));
    session_->started->window->dateRange().dateFieldChosen(0, 0);
    QCOMPARE(field("cmbLPReadEndTime", 0)->currentText(), QStringLiteral("13"));
    // February of "12" has 29 days, of "13" 28.
    for (const auto &[year, days] : {std::pair{"12", 29}, std::pair{"13", 28}}) {
        field("cmbLPReadBeginTime", 0)->setCurrentIndex(field("cmbLPReadBeginTime", 0)->findText(year));
        field("cmbLPReadBeginTime", 1)->setCurrentIndex(1);
        session_->started->window->dateRange().dateFieldChosen(0, 1);
        QCOMPARE(field("cmbLPReadBeginTime", 2)->count(), days);
    }
}

void TestLPDownloadWithMeter::choosingTheShownMonthKeepsTheDay()
{
    QVERIFY2(session_->startMeter({QStringLiteral("--lp-count"), QStringLiteral("1=250")}), qPrintable(session_->error()));
    QVERIFY(session_->openWindow(programDir_->path()));
    QVERIFY(session_->goOnline([&] {
        return session_->started->control<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->count() == 250;
    }));
    const ui::ControlMap &controls = session_->started->window->controls();
    const char *selectors[2] = {"cmbLPReadBeginTime", "cmbLPReadEndTime"};
    // As the user chooses: the list shows the entry, then tells it was chosen.
    const auto choose = [&](int selector, int field, const char *text) {
        auto *box = controls.require<QComboBox>(QLatin1String(selectors[selector]), field);
        box->setCurrentIndex(box->findText(QLatin1String(text)));
        emit box->activated(box->currentIndex());
    };
    const auto shownDate = [&](int selector) {
        QStringList fields;
        for (int field = 0; field < 5; ++field)
            fields << controls.require<QComboBox>(QLatin1String(selectors[selector]), field)->currentText();
        return fields.join(QLatin1Char(' '));
    };
    for (const auto &[field, text] : {std::pair{0, "24"}, {1, "3"}, {2, "3"}, {3, "6"}})
        choose(0, field, text);
    QCOMPARE(shownDate(1), QStringLiteral("24 3 3 6 0"));
    choose(1, 1, "3");
    choose(1, 3, "7");
    QCOMPARE(shownDate(0), QStringLiteral("24 3 3 6 0"));
    QCOMPARE(shownDate(1), QStringLiteral("24 3 3 7 0"));

    session_->started->control<QPushButton>(QStringLiteral("cmdReadLP2"))->click();
    QVERIFY2(QTest::qWaitFor([&] { return shown(QStringLiteral("Text6")).contains(u'\uFF01'); }, kPatienceMs),
             qPrintable(shown(QStringLiteral("Text6"))));
    const QDir folder(programDir_->filePath(QStringLiteral("LP Data")));
    QCOMPARE(folder.entryList(QDir::Files).size(), 1);
    QCOMPARE(lptest::csvRows(folder.filePath(folder.entryList(QDir::Files).first())), lptest::expectedRows(217, 221));
}

void TestLPDownloadWithMeter::startsRefusedWithoutNumbersOrChannels()
{
    // Offline, before any firmware was read, the record-number lists are empty.
    QVERIFY(session_->openWindow(programDir_->path()));
    session_->started->messages.shown.clear();
    session_->started->window->downloadPanel().Command8_Click();
    const i18n::LanguageTexts &texts = session_->started->window->language().texts();
    QCOMPARE(session_->started->messages.shown.size(), 1);
    QCOMPARE(session_->started->messages.shown.first().text, texts.rightdown_LPNumberInvalid);
    session_->started.reset();

    // Online, with a meter that reports no channels for the group.
    goOnline();
    QVERIFY(session_->meter->sendCommand(QStringLiteral("set holding:0x1034=0")));
    QVERIFY(QTest::qWaitFor([&] { return session_->started->window->poll().reading().lpGroups[0].channels == 0; },
                            kPatienceMs));
    session_->started->messages.shown.clear();
    session_->started->control<QPushButton>(QStringLiteral("Command8"))->click();
    QCOMPARE(session_->started->messages.shown.size(), 1);
    QCOMPARE(session_->started->messages.shown.first().text,
             session_->started->window->language().texts().rightdown_LPChannelsInvalid);
    QVERIFY(!session_->started->window->download().LPDownloading());
    QVERIFY(!QDir(programDir_->filePath(QStringLiteral("LP Data"))).exists()
            || QDir(programDir_->filePath(QStringLiteral("LP Data"))).isEmpty());
}

QTEST_MAIN(TestLPDownloadWithMeter)
#include "test_lp_download_with_meter.moc"
