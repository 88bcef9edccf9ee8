// Load-profile downloads and date searches that are interrupted (stopped,
// cut off by a silent meter or a lost link, continued on another meter or
// with another group chosen) through the real window and the simulated
// meter. After each, the files hold exactly the rows of the request that
// ran, and the next download behaves as the first one of a fresh program.
#include "gui/loadprofile/date_range_panel.h"
#include "gui/loadprofile/download_pace.h"
#include "gui/loadprofile/download_panel.h"
#include "gui/ui/caption.h"
#include "loadprofile/block_download.h"
#include "loadprofile/date_search_job.h"
#include "lp_meter_rows.h"
#include "meter_session.h"
#include "modbus/transactions.h"
#include "screenshot.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int kPatienceMs = 60000;
const QStringList kMeterA{QStringLiteral("--serial"), QStringLiteral("METERAAA11111111")};

QString finished(int last)
{
    return QStringLiteral("Last number of download interval : %1\uFF0Cand finish download\uFF01").arg(last);
}

// Runs action once, from inside the event loop (and so inside a waiting
// transaction), the first time ready() holds; checked every 20 ms.
void whenReady(QObject *context, std::function<bool()> ready, std::function<void()> action)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [timer, ready, action] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(20);
}

} // namespace

class TestLPInterruptions : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void stopWhileMeterSilentLeavesNothingBehind();
    void startPressedDuringSearchStartsNothing();
    void searchEndedEarly_data();
    void searchEndedEarly();
    void continueOnReconnect_data();
    void continueOnReconnect();
    void groupChosenDuringDownload_data();
    void groupChosenDuringDownload();
    void typedRecordNumbers();

private:
    void goOnline(const QStringList &meterOptions = {}, bool tcp = false, int records = 100);
    void chooseRecords(int first, int last);
    void chooseDates(const QStringList &begin, const QStringList &end);
    void press(const char *button) { control<QPushButton>(button)->click(); }
    bool waitFor(const QString &status, int patienceMs = kPatienceMs);
    // Downloads records first..last of group 1 and checks its new file.
    void downloadExactly(int first, int last);
    QStringList files() const { return folder().entryList(QDir::Files, QDir::Time | QDir::Reversed); }
    QString newestFile() const { return folder().filePath(files().last()); }
    QDir folder() const { return QDir(programDir_->filePath(QStringLiteral("LP Data"))); }
    template <class T>
    T *control(const char *name) const { return session_->started->control<T>(QLatin1String(name)); }
    QString shown(const char *name) const { return session_->shown(QLatin1String(name)); }
    app::MainForm &window() const { return *session_->started->window; }
    testsupport::RecordingMessages &messages() const { return session_->started->messages; }

    std::unique_ptr<QTemporaryDir> programDir_;
    std::unique_ptr<testsupport::MeterSession> session_;
};

void TestLPInterruptions::init()
{
    session_ = std::make_unique<testsupport::MeterSession>();
    programDir_ = testsupport::englishProgramFolder();
    QVERIFY(programDir_);
}

void TestLPInterruptions::cleanup()
{
    session_.reset();
    programDir_.reset();
}

void TestLPInterruptions::goOnline(const QStringList &meterOptions, bool tcp, int records)
{
    const QStringList count{QStringLiteral("--lp-count"), QStringLiteral("1=%1").arg(records)};
    QVERIFY2(session_->startMeter(meterOptions + count, tcp), qPrintable(session_->error()));
    QVERIFY(session_->openWindow(programDir_->path()));
    QVERIFY(session_->goOnline([&] { return control<QComboBox>("Combo_LP_Stop_No")->count() == records; }));
}

void TestLPInterruptions::chooseRecords(int first, int last)
{
    control<QComboBox>("Combo_LP_Start_No")->setCurrentIndex(first - 1);
    control<QComboBox>("Combo_LP_Stop_No")->setCurrentIndex(last - 1);
}

void TestLPInterruptions::chooseDates(const QStringList &begin, const QStringList &end)
{
    const char *selectors[2] = {"cmbLPReadBeginTime", "cmbLPReadEndTime"};
    for (int s : {1, 0}) { // the end first: a begin later than it moves it
        for (int field = 0; field < 5; ++field) {
            auto *box = window().controls().require<QComboBox>(QLatin1String(selectors[s]), field);
            box->setCurrentIndex(box->findText((s == 1 ? end : begin).at(field)));
            window().dateRange().dateFieldChosen(s, field);
        }
    }
}

bool TestLPInterruptions::waitFor(const QString &status, int patienceMs)
{
    return QTest::qWaitFor([&] { return shown("Text6") == status; }, patienceMs);
}

void TestLPInterruptions::downloadExactly(int first, int last)
{
    const int before = files().size();
    chooseRecords(first, last);
    press("Command8");
    QVERIFY2(waitFor(finished(last)), qPrintable(shown("Text6")));
    QCOMPARE(files().size(), before + 1);
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(first, last));
}

void TestLPInterruptions::stopWhileMeterSilentLeavesNothingBehind()
{
    // Over TCP, whose pauses after each request leave room for the poll's
    // ticks inside a transaction's waits.
    goOnline({}, true);
    loadprofile::BlockDownload &download = window().download();
    chooseRecords(1, 80);
    press("Command8");
    QVERIFY(QTest::qWaitFor([&] { return download.LPNextRecord() >= 8; }, kPatienceMs));
    QVERIFY(session_->meter->sendCommand(QStringLiteral("drop@all")));
    // The stop lands while a transaction of the download waits for the
    // silent meter; the meter answers again right after it.
    long long writtenAtStop = -1;
    whenReady(this, [&] { return window().transactions().CommBusy && window().downloadPace().LPBlockBusy(); }, [&] {
        QTest::qWait(300);
        writtenAtStop = download.LPNextRecord();
        messages().answer = ui::MessageAnswer::Yes;
        press("cmdStopLPRead");
        QVERIFY(session_->meter->sendCommand(QStringLiteral("clear-faults")));
    });
    QVERIFY(QTest::qWaitFor([&] { return writtenAtStop >= 0 && !window().downloadPace().LPBlockBusy(); }, kPatienceMs));
    QVERIFY(window().link().LinkOnline());
    QVERIFY(!download.LPDownloading());
    QVERIFY(!window().downloadPace().Timer_RS_Lpf.isActive());
    // Nothing of the block that was on its way when stopped is written.
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(1, int(writtenAtStop)));

    chooseDates({"24", "3", "1", "6", "0"}, {"24", "3", "1", "7", "0"});
    press("cmdReadLP2");
    QVERIFY2(waitFor(finished(29)), qPrintable(shown("Text6")));
    QCOMPARE(files().size(), 2);
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(25, 29));
    downloadExactly(1, 5);
}

void TestLPInterruptions::startPressedDuringSearchStartsNothing()
{
    goOnline({}, true, 400);
    window().resize(1280, 1000);
    window().show();
    press("Command10(3)"); // the data read page
    chooseRecords(1, 5);
    chooseDates({"24", "3", "3", "6", "0"}, {"24", "3", "3", "7", "0"}); // records 217 .. 221
    press("cmdReadLP2");
    // The start buttons are not offered while the search runs; a press of
    // the hidden one changes nothing.
    QVERIFY(control<QWidget>("Command8")->isHidden());
    QVERIFY(!control<QWidget>("cmdReadLP2")->isEnabled());
    QVERIFY(!control<QWidget>("cmbLPReadGroupSel")->isEnabled());
    bool pressedWhileSearching = false;
    whenReady(this, [&] { return window().dateSearch().searchRunning(); }, [&] {
        testsupport::saveScreenshot(&window(), QStringLiteral("lp_date_search_running"));
        press("Command8");
        press("cmdReadLP2");
        pressedWhileSearching = true;
    });
    QVERIFY2(waitFor(finished(221)), qPrintable(shown("Text6")));
    QVERIFY(pressedWhileSearching);
    QCOMPARE(files().size(), 1);
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(217, 221));
    downloadExactly(1, 5);
}

void TestLPInterruptions::searchEndedEarly_data()
{
    QTest::addColumn<bool>("stop"); // the user stops it; else the link is lost
    QTest::newRow("stopped") << true;
    QTest::newRow("link lost and restored") << false;
}

void TestLPInterruptions::searchEndedEarly()
{
    QFETCH(bool, stop);
    goOnline({}, true, 400);
    chooseDates({"24", "3", "3", "6", "0"}, {"24", "3", "3", "9", "0"});
    press("cmdReadLP2");
    QVERIFY(shown("Text6").startsWith(QStringLiteral("Searching for the first record")));
    loadprofile::BlockDownload &download = window().download();
    bool interrupted = false;
    whenReady(this, [&] { return window().dateSearch().searchRunning(); }, [&] {
        interrupted = true;
        if (stop) {
            messages().answer = ui::MessageAnswer::Yes;
            press("cmdStopLPRead");
        } else {
            QVERIFY(session_->meter->sendCommand(QStringLiteral("drop@all")));
        }
    });
    QVERIFY(QTest::qWaitFor([&] { return interrupted && !window().dateSearch().searchRunning(); }, kPatienceMs));
    const i18n::LanguageTexts &texts = window().language().texts();
    QCOMPARE(messages().count(texts.rightdown_LPSearchFailed), stop ? 0 : 1);
    if (!stop) {
        QVERIFY(QTest::qWaitFor([&] { return !window().link().LinkOnline(); }, kPatienceMs));
        QVERIFY(session_->meter->sendCommand(QStringLiteral("clear-faults")));
        QVERIFY(session_->goOnline([&] { return control<QComboBox>("Combo_LP_Stop_No")->count() == 400; }));
    }
    // Nothing pending: two more poll cycles start nothing by themselves.
    int cycles = 0;
    connect(&window().poll(), &session::PollCycle::cycleEnded, this, [&] { ++cycles; });
    QVERIFY(QTest::qWaitFor([&] { return cycles >= 2; }, kPatienceMs));
    QVERIFY(!window().dateSearch().lpReadByDate());
    QVERIFY(!window().downloadPace().TimerEnLPRead.isActive());
    QVERIFY(!download.LPDownloading());
    QVERIFY(control<QWidget>("cmdStopLPRead")->isHidden());
    QVERIFY(control<QWidget>("cmdReadLP2")->isEnabled());
    QVERIFY(files().isEmpty());
    downloadExactly(1, 5);
}

void TestLPInterruptions::continueOnReconnect_data()
{
    QTest::addColumn<QStringList>("meterAfter"); // the meter online after the reconnect
    QTest::addColumn<QString>("refusal");        // the message's distinctive part; empty: continued
    QTest::newRow("same meter") << kMeterA << QString();
    QTest::newRow("another meter")
        << QStringList{"--serial", "METERBBB22222222", "--lp-start", "2025-06-01 00:00"}
        << QStringLiteral("METERAAA11111111; meter METERBBB22222222");
    QTest::newRow("channels changed") << kMeterA + QStringList{"--lp-channels", "1=1,2,3,4"}
                                      << QStringLiteral("(Channels: 8 -> 4)");
}

void TestLPInterruptions::continueOnReconnect()
{
    QFETCH(QStringList, meterAfter);
    QFETCH(QString, refusal);
    goOnline(kMeterA);
    loadprofile::BlockDownload &download = window().download();
    chooseRecords(1, 40);
    press("Command8");
    QVERIFY(QTest::qWaitFor([&] { return download.LPNextRecord() >= 8; }, kPatienceMs));
    press("cmdOnLine");
    QVERIFY(!window().link().LinkOnline());
    const int written = int(download.LPNextRecord());

    const QStringList count{QStringLiteral("--lp-count"), QStringLiteral("1=100")};
    QVERIFY2(session_->startMeter(meterAfter + count), qPrintable(session_->error()));
    press("cmdOnLine");
    QVERIFY(window().link().LinkOnline());
    // Pressed at once: the press waits for the first poll to read the meter.
    messages().answer = ui::MessageAnswer::Yes;
    press("Command8");
    if (refusal.isEmpty()) {
        QVERIFY2(waitFor(finished(40)), qPrintable(shown("Text6")));
        QCOMPARE(files().size(), 1);
        QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(1, 40));
        return;
    }
    QVERIFY(QTest::qWaitFor([&] { return !messages().shown.isEmpty() && !download.LPDownloading(); },
                            kPatienceMs));
    QVERIFY2(messages().shown.last().text.contains(refusal), qPrintable(messages().shown.last().text));
    QVERIFY(control<QWidget>("cmdStopLPRead")->isHidden());
    QCOMPARE(files().size(), 1);
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(1, written));
}

void TestLPInterruptions::groupChosenDuringDownload_data()
{
    QTest::addColumn<bool>("offline"); // chosen while the link is offline, then continued
    QTest::newRow("while reading") << false;
    QTest::newRow("while offline, then continued") << true;
}

void TestLPInterruptions::groupChosenDuringDownload()
{
    QFETCH(bool, offline);
    goOnline();
    loadprofile::BlockDownload &download = window().download();
    auto *groupList = control<QComboBox>("cmbLPReadGroupSel");
    chooseRecords(1, 40);
    press("Command8");
    QVERIFY(QTest::qWaitFor([&] { return download.LPNextRecord() >= 12; }, kPatienceMs));
    QVERIFY(!groupList->isEnabled());
    QVERIFY(!control<QWidget>("cmbLPReadGroupSel1")->isEnabled());
    if (offline) {
        press("cmdOnLine");
        QVERIFY(groupList->isEnabled());
    }
    groupList->setCurrentIndex(1);
    emit groupList->activated(1);
    if (offline) {
        QVERIFY(session_->goOnline([&] { return control<QComboBox>("Combo_LP_Stop_No")->count() == 50; }));
        messages().answer = ui::MessageAnswer::Yes;
        press("Command8");
        QVERIFY(QTest::qWaitFor([&] { return window().downloadPace().Timer_RS_Lpf.isActive(); }, kPatienceMs));
        QCOMPARE(groupList->currentIndex(), 0); // the group being read is shown
    }
    QVERIFY2(waitFor(finished(40)), qPrintable(shown("Text6")));
    QCOMPARE(files().size(), 1);
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(1, 40));
    QVERIFY(groupList->isEnabled());
}

void TestLPInterruptions::typedRecordNumbers()
{
    goOnline();
    const auto type = [&](const char *list, const QString &text) {
        QLineEdit *edit = control<QComboBox>(list)->lineEdit();
        edit->setText(text);
        emit edit->editingFinished();
    };
    type("Combo_LP_Start_No", QStringLiteral("97"));
    QCOMPARE(control<QComboBox>("Combo_LP_Stop_No")->currentText(), QStringLiteral("97"));
    type("Combo_LP_Stop_No", QStringLiteral("101")); // beyond the 100 records
    QCOMPARE(messages().count(window().language().texts().rightdown_Box4), 1);
    QCOMPARE(control<QComboBox>("Combo_LP_Stop_No")->currentText(), QStringLiteral("97"));
    type("Combo_LP_Stop_No", QStringLiteral("100"));
    QCOMPARE(control<QComboBox>("Combo_LP_Start_No")->count(), 100); // typing adds no entry
    press("Command8");
    QVERIFY2(waitFor(finished(100)), qPrintable(shown("Text6")));
    QCOMPARE(lptest::csvRows(newestFile()), lptest::expectedRows(97, 100));
}

QTEST_MAIN(TestLPInterruptions)
#include "test_lp_interruptions_with_meter.moc"
