// Load-profile group settings through the real window against the simulated
// meter over a pseudo-terminal: the lists the firmware's layout builds, the
// groups' state read back, what the set and clear buttons write and when
// they ask first.
#include "dialog_answer.h"
#include "gui/loadprofile/load_profile_panel.h"
#include "gui/ui/caption.h"
#include "meter_session.h"
#include "session/meter_session.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using testsupport::DialogAnswer;
using testsupport::MeterWrite;

namespace {

constexpr int kPatienceMs = 15000;

} // namespace

class TestLPSettingsWithMeter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listsFollowTheFirmwareAndStateIsReadBack_data();
    void listsFollowTheFirmwareAndStateIsReadBack();
    void setAndClearButtons_data();
    void setAndClearButtons();

private:
    void goOnline(const QString &firmware);
    QString shown(const QString &control, int index = -1) const
    {
        return session_->shown(control, index);
    }
    QComboBox *list(const char *name, int index) const
    {
        return session_->window().controls().require<QComboBox>(QLatin1String(name), index);
    }
    QList<MeterWrite> settingWrites() const
    {
        return testsupport::settingWrites(session_->meter->writes());
    }

    std::unique_ptr<testsupport::MeterSession> session_;
};

void TestLPSettingsWithMeter::init() { session_ = std::make_unique<testsupport::MeterSession>(); }

void TestLPSettingsWithMeter::cleanup() { session_.reset(); }

void TestLPSettingsWithMeter::goOnline(const QString &firmware)
{
    QVERIFY2(session_->startMeter({QStringLiteral("--firmware"), firmware}),
             qPrintable(session_->error()));
    QVERIFY(session_->openWindow());
    QVERIFY(session_->goOnline([&] { return !shown(QStringLiteral("txtCTRatio2")).isEmpty(); }));
}

void TestLPSettingsWithMeter::listsFollowTheFirmwareAndStateIsReadBack_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("codes");
    QTest::addColumn<QString>("validCount");
    QTest::newRow("panel 0: THD codes too") << "V3705A00" << 80 << "100";
    // The first firmware of the session selects panel 1: lists without THD.
    QTest::newRow("panel 1 first") << "V2500A00" << 74 << "100";
    QTest::newRow("R firmware") << "R3705A00" << 74 << "100";
    QTest::newRow("5900: no valid counts read") << "V5900A00" << 80 << "";
}

void TestLPSettingsWithMeter::listsFollowTheFirmwareAndStateIsReadBack()
{
    QFETCH(QString, firmware);
    QFETCH(int, codes);
    QFETCH(QString, validCount);
    goOnline(firmware);

    QCOMPARE(list("Combo_G1_Setting", 2)->count(), codes);
    QCOMPARE(list("Combo_G2_Setting", 9)->count(), codes);
    QCOMPARE(shown(QStringLiteral("txtLPindex")).count(u'\n'), codes);
    QCOMPARE(list("cmbLPReadGroupSel", -1)->currentText(), QStringLiteral("1"));
    // The meter's defaults: group 1 with 8 channels, group 2 with 4.
    QCOMPARE(shown(QStringLiteral("Text_LP_Data_Counter"), 0), QStringLiteral("8"));
    QCOMPARE(shown(QStringLiteral("Text_LP_Data_Counter"), 1), QStringLiteral("4"));
    QCOMPARE(shown(QStringLiteral("txtLPInterval"), 0), QStringLiteral("15"));
    QCOMPARE(shown(QStringLiteral("Text_LP_G1_Data"), 7), QStringLiteral("11"));
    QCOMPARE(shown(QStringLiteral("Text_LP_G2_Data"), 3), QStringLiteral("14"));
    QCOMPARE(shown(QStringLiteral("Text_Max_int_num"), 0), QStringLiteral("10200"));
    QCOMPARE(shown(QStringLiteral("Text_Max_int_num"), 1), QStringLiteral("11600"));
    QCOMPARE(shown(QStringLiteral("txtLPValidIntervalNum"), 0), validCount);
}

void TestLPSettingsWithMeter::setAndClearButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("channels"); // new channel count of the group, "" unchanged
    QTest::addColumn<DialogAnswer>("answer");
    QTest::addColumn<QList<MeterWrite>>("writes");
    QTest::addColumn<QString>("question");
    const QString clear1 = QStringLiteral("Clear Group1 Data\uFF1F");
    QTest::newRow("group 1 unchanged count: no question")
        << "cmdLoadProfileG1Set" << "" << DialogAnswer::None
        << QList<MeterWrite>{{0x1034, {8, 15, 1, 2, 3, 4, 5, 7, 9, 11, 6, 8, 10, 12}}} << "";
    QTest::newRow("group 2 new count, 30 s, YES")
        << "cmdLoadProfileG2Set" << "2" << DialogAnswer::Yes
        << QList<MeterWrite>{{0x1043, {2, 230, 6, 12, 13, 14, 1, 2, 3, 4}}} << "LPF_war";
    QTest::newRow("group 2 new count, NO")
        << "cmdLoadProfileG2Set" << "2" << DialogAnswer::No << QList<MeterWrite>{} << "LPF_war";
    QTest::newRow("clear group 1, YES")
        << "Comm_Clr_G1_Data" << "" << DialogAnswer::Yes << QList<MeterWrite>{{0x1033, {51}}}
        << clear1;
    QTest::newRow("clear group 1, close box")
        << "Comm_Clr_G1_Data" << "" << DialogAnswer::CloseBox << QList<MeterWrite>{} << clear1;
}

void TestLPSettingsWithMeter::setAndClearButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, channels);
    QFETCH(DialogAnswer, answer);
    QFETCH(QList<MeterWrite>, writes);
    QFETCH(QString, question);
    goOnline(QStringLiteral("V3705A00"));
    if (!channels.isEmpty()) {
        list("Combo_G2_Setting", 0)->setCurrentText(channels);
        // Firmware 3705 records every 30 seconds if asked to.
        QComboBox *interval = list("Combo_G2_Setting", 1);
        interval->setCurrentIndex(interval->findText(QStringLiteral("30sec")));
    }
    auto asked = std::make_shared<QString>();
    if (answer != DialogAnswer::None)
        testsupport::answerDialogWhenShown(answer, asked);
    session_->started->control<QPushButton>(button)->click();
    if (question == QLatin1String("LPF_war"))
        question = session_->started->window->language().texts().LPF_war;
    QCOMPARE(*asked, question);

    if (writes.isEmpty()) {
        using session::RequestKind;
        for (RequestKind kind : {RequestKind::GroupSetting1, RequestKind::GroupSetting2, RequestKind::ClearGroup1,
                                 RequestKind::ClearGroup2})
            QVERIFY(!session_->started->window->session().requestPending(kind));
        return;
    }
    QVERIFY(session_->meter->waitForSettingWrites(int(writes.size()), kPatienceMs));
    QCOMPARE(settingWrites(), writes);
    // The next poll shows the group's new state: a setting restarts its records.
    if (button == QLatin1String("cmdLoadProfileG2Set"))
        QVERIFY(QTest::qWaitFor(
            [&] {
                return shown(QStringLiteral("Text_LP_Data_Counter"), 1) == QLatin1String("2")
                       && shown(QStringLiteral("txtLPInterval"), 1) == QLatin1String("30 sec")
                       && shown(QStringLiteral("txtLPValidIntervalNum"), 1) == QLatin1String("0");
            },
            kPatienceMs));
}

QTEST_MAIN(TestLPSettingsWithMeter)
#include "test_lp_settings_with_meter.moc"
