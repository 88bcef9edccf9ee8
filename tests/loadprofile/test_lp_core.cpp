// The load-profile core: channel names, records and CSV rows, date serials,
// the CSV file's name, folder and blocks, the search for a date's record,
// where "new only" starts.
#include "../modbus/fake_link.h"
#include "links/link_state.h"
#include "loadprofile/date_search.h"
#include "loadprofile/download_origin.h"
#include "loadprofile/new_only_start.h"
#include "loadprofile/record_reads.h"
#include "lpdata/channel_codes.h"
#include "lpdata/csv_file.h"
#include "lpdata/date_serial.h"
#include "lpdata/records.h"
#include "session/meter_access.h"

#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

using lpdata::LoadProfileCsv;
using Outcome = loadprofile::StartRecordSearch::Outcome;
Q_DECLARE_METATYPE(Outcome)
using loadprofile::OriginChange;
Q_DECLARE_METATYPE(OriginChange)
Q_DECLARE_METATYPE(loadprofile::DownloadOrigin)
using NewOnlyKind = loadprofile::NewOnlyStart::Kind;
Q_DECLARE_METATYPE(NewOnlyKind)

namespace {

// A meter on the scripted link whose record n of group 1 is stamped
// 2024-03-01 00:00 + (n - 1) x 15 min. It never answers the failProbe-th
// time-stamp read, so that read fails after all its attempts.
struct StampedMeter {
    fake::Rig rig;
    links::LinkState link;
    int probes = 0;
    int failProbe = 0;

    StampedMeter()
    {
        rig.host.slave = link.SlaveAddress;
        link.setLinkOnline(true);
        rig.host.onOffline = [this] { link.setLinkOnline(false); };
        int pointer = 1;
        rig.serial.responder = [this, pointer](const fake::Bytes &request) mutable -> std::optional<fake::Reply> {
            fake::Bytes answer{request[0], request[1]};
            if (request[1] == 16) { // the record pointer: a probe begins
                pointer = request[7] << 8 | request[8];
                ++probes;
                answer.insert(answer.end(), request.begin() + 2, request.begin() + 6);
            } else {
                if (probes == failProbe)
                    return std::nullopt; // every attempt
                const QDateTime t = QDateTime(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC).addSecs((pointer - 1) * 900LL);
                answer.insert(answer.end(), {6, std::uint8_t(t.date().year() - 2000), std::uint8_t(t.date().month()),
                                             std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()),
                                             std::uint8_t(t.time().minute()), 0});
            }
            modbus::Crc16 crc;
            crc.CrcTableSetup();
            crc.compute(answer);
            answer.insert(answer.end(), {crc.CrcLo, crc.CrcHi});
            return fake::Reply{answer};
        };
    }

    loadprofile::StartRecordSearch search(double begin)
    {
        session::MeterAccess meter(link, rig.tx);
        return loadprofile::findStartRecord(begin, 1000, lpdata::dateSerial(2024, 3, 11, 9, 45, 0), 1,
                                            [&](long long r) { return loadprofile::readRecordTime(meter, meter::LpGroup::first(), r); });
    }
};

} // namespace

class TestLpCore : public QObject {
    Q_OBJECT
private slots:
    // Numbers and rows must not change in a locale with a decimal comma.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void channelNames_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("intervalEnergy"); // its values add up over a period
        QTest::newRow("first") << 1 << "Vln_avg(point)" << "V" << false;
        QTest::newRow("line voltage") << 105 << "Vll_AB(interval)" << "V" << false;
        QTest::newRow("current") << 2 << "I_avg(point)" << "A" << false;
        QTest::newRow("average power") << 3 << "kW_avg(interval)" << "kW" << false;
        QTest::newRow("kVar as kvar") << 117 << "kVar_A(interval)" << "kvar" << false;
        QTest::newRow("power factor") << 6 << "PF_avg" << "PF" << false;
        QTest::newRow("energy total") << 7 << "kWh+(total)" << "kWh" << false;
        QTest::newRow("interval energy") << 12 << "kWh(interval)" << "kWh" << true;
        QTest::newRow("kVarh as kvarh") << 156 << "kVarh_tot(interval)" << "kvarh" << true;
        QTest::newRow("apparent energy") << 160 << "kVAh_tot(interval)" << "kVAh" << true;
        QTest::newRow("last THD code") << 206 << "THD_Ic(%)" << "%" << false;
        QTest::newRow("0") << 0 << "" << "" << false;
        QTest::newRow("between runs") << 15 << "" << "" << false;
    }
    void channelNames()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(QString, unit);
        QFETCH(bool, intervalEnergy);
        QCOMPARE(lpdata::LPDataName(code), name);
        QCOMPARE(lpdata::LPChannelUnit(code), unit);
        QCOMPARE(lpdata::isIntervalEnergy(code), intervalEnergy);
    }
    void everyChannelHasAUnit()
    {
        for (const int code : lpdata::LPChannelCodes())
            QVERIFY2(!lpdata::LPChannelUnit(code).isEmpty(), qPrintable(lpdata::LPDataName(code)));
    }
    void channelListing()
    {
        QCOMPARE(lpdata::LPChannelCodes().size(), 80u);
        QCOMPARE(lpdata::offeredChannelCodes(false).size(), 74u);
        const QStringList all = lpdata::channelCodeListing(true).split("\r\n");
        const QStringList withoutThd = lpdata::channelCodeListing(false).split("\r\n");
        QCOMPARE(all.size(), 81); // every line ends with CR LF
        QCOMPARE(withoutThd.size(), 75);
        QCOMPARE(all.at(79), QStringLiteral("206 : THD_Ic(%)"));
        QCOMPARE(withoutThd.at(73), QStringLiteral("160 : kVAh_tot(interval)"));
    }

    void recordsAndRows_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("rows"); // empty: the block is refused
        QTest::addColumn<QList<double>>("serials");
        // Values in received order: low-order register first, high byte first.
        const QByteArray may7("\x17\x05\x07\x09\x05\x00" "\x00\x00\x3F\xA0" "\x00\x00\xBF\x00"
                              "\x50\x00\x44\x9A", 18); // 1.25, -0.5, 1234.5
        const QByteArray jan1("\x0C\x01\x01\x00\x00\x00" "\xC5\xAC\xB7\x27", 10); // -0.00001
        const QByteArray month13("\x17\x0D\x01\x00\x00\x00" "\x00\x00\x00\x00", 10);
        QTest::newRow("three channels") << may7 << 3 << 1 << QStringList{"2023/5/7,9:5:0,1.2500,-0.5000,1234.5000"}
                                        << QList<double>{45053 + 545.0 / 1440};
        QTest::newRow("two records") << jan1 + month13 << 1 << 2 << QStringList{"2012/1/1,0:0:0,0.0000",
                                     "2023/13/1,0:0:0,0.0000"} << QList<double>{40909, 0};
        const QStringList refused;
        QTest::newRow("a byte short") << may7.chopped(1) << 3 << 1 << refused << QList<double>();
        QTest::newRow("a byte over") << may7 + '\0' << 3 << 1 << refused << QList<double>();
        QTest::newRow("no channels") << QByteArray(6, '\0') << 0 << 1 << refused << QList<double>();
        QTest::newRow("13 channels") << QByteArray(58, '\0') << 13 << 1 << refused << QList<double>();
        QTest::newRow("no records") << QByteArray() << 1 << 0 << refused << QList<double>();
    }
    void recordsAndRows()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, channels);
        QFETCH(int, count);
        QFETCH(QStringList, rows);
        QFETCH(QList<double>, serials);
        const auto records = lpdata::decodeRecords(
            std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())),
            channels, count);
        QCOMPARE(records.has_value(), !rows.isEmpty());
        for (qsizetype r = 0; records && r < rows.size(); ++r) {
            QCOMPARE(lpdata::csvRow(records->at(std::size_t(r))), rows.at(r));
            QCOMPARE(lpdata::recordDateSerial(records->at(std::size_t(r))), serials.at(r));
        }
    }

    void dateSerials_data()
    {
        QTest::addColumn<QList<int>>("fields"); // year within 2000, month, day, hour, minute
        QTest::addColumn<double>("serial");
        QTest::addColumn<int>("daysInMonth");
        QTest::newRow("2012-01-01") << QList<int>{12, 1, 1, 0, 0} << 40909.0 << 31;
        QTest::newRow("leap day noon") << QList<int>{12, 2, 29, 12, 0} << 40968.5 << 29;
        QTest::newRow("no leap day in 13") << QList<int>{13, 2, 29, 0, 0} << 0.0 << 28;
        QTest::newRow("April 31") << QList<int>{12, 4, 31, 0, 0} << 0.0 << 30;
        QTest::newRow("month 13") << QList<int>{12, 13, 1, 0, 0} << 0.0 << 30;
        QTest::newRow("hour 24") << QList<int>{12, 1, 1, 24, 0} << 0.0 << 31;
        QTest::newRow("year overflows") << QList<int>{INT_MAX, 1, 1, 0, 0} << 0.0 << 31;
    }
    void dateSerials()
    {
        QFETCH(QList<int>, fields);
        QFETCH(double, serial);
        QFETCH(int, daysInMonth);
        QCOMPARE(lpdata::DateToDoubleSub(fields[0], fields[1], fields[2], fields[3], fields[4]), serial);
        QCOMPARE(lpdata::daysInMonth(fields[0], fields[1]), daysInMonth);
    }

    void serialPartIsOnePlainName_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("part");
        QTest::newRow("normal") << "ABCDEFGH123456789" << "12345678";
        QTest::newRow("short") << "ABCDEFGH" << "test";
        QTest::newRow("up and out") << "AWMETER0/../../x" << "_______x";
        QTest::newRow("drive and backslash") << "ABCDEFGH..\\C:AB" << "___C_AB";
        QTest::newRow("single dot") << "ABCDEFGH." << "_";
        QTest::newRow("inner dot stays") << "ABCDEFGHa.b" << "a.b";
        QTest::newRow("unprintable, reserved")
            << QStringLiteral("ABCDEFGH\t\x7F*?\"<>\u202E") << "________";
    }
    void serialPartIsOnePlainName()
    {
        QFETCH(QString, serial);
        QFETCH(QString, part);
        QCOMPARE(lpdata::csvSerialPart(serial), part);
        QCOMPARE(lpdata::csvBaseName(serial, QDate(2023, 5, 7), 2), part + "_20230507_Group2");
    }
    void fileNamesCountUpAndBlocksAppend()
    {
        const auto contents = [](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTemporaryDir dir;
        const lpdata::LoadProfileCsv::Folders folders{dir.path() + "/LP Data", QString()};
        const QDateTime now(QDate(2023, 5, 7), QTime(9, 5, 7));
        const int codes[] = {1, 15, 206};
        QStringList names;
        for (int n = 0; n < 3; ++n) {
            const auto csv = lpdata::LoadProfileCsv::create(folders, "1234_20230507_Group1", now, codes, nullptr);
            QVERIFY(csv && !csv->inFallbackFolder());
            names << csv->path().mid(folders.preferred.size() + 1);
        }
        QCOMPARE(names, (QStringList{"1234_20230507_Group1.csv", "1234_20230507_Group1_1.csv",
                                     "1234_20230507_Group1_2.csv"}));

        const auto csv = lpdata::LoadProfileCsv::create(folders, "base", now, codes, nullptr);
        QVERIFY(csv);
        const QByteArray header = "Date : 07.05.23  09:05\r\nDate,Time,Vln_avg(point),,THD_Ic(%)\r\n";
        QCOMPARE(contents(csv->path()), header);
        QVERIFY(csv->appendRows({"a,1", "b,2"}, nullptr));
        QCOMPARE(contents(csv->path()), header + "a,1\r\nb,2\r\n");
        // A file and folder that disappeared come back, without header lines.
        QVERIFY(QDir(folders.preferred).removeRecursively());
        QVERIFY(csv->appendRows({"c,3"}, nullptr));
        QCOMPARE(contents(csv->path()), QByteArray("c,3\r\n"));
    }


    // The program's folder cannot hold a folder: a file stands in its way.
    void fallbackFolder()
    {
        QTemporaryDir dir;
        const QString blocked = dir.path() + "/program";
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const lpdata::LoadProfileCsv::Folders folders{blocked + "/LP Data", dir.path() + "/Documents/LP Data"};
        const auto csv = lpdata::LoadProfileCsv::create(folders, "base", QDateTime(), {}, nullptr);
        QVERIFY(csv && csv->inFallbackFolder() && csv->path() == folders.fallback + "/base.csv");

        QString error;
        QVERIFY(!lpdata::LoadProfileCsv::create({folders.preferred, blocked + "/docs"}, "base", QDateTime(), {}, &error));
        QVERIFY2(error.contains(folders.preferred) && error.contains(blocked + "/docs"), qPrintable(error));
    }

    // A program in a system folder writes to the user's documents only.
    void defaultFolders()
    {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/LP Data";
        for (const auto &[dir, system] : {std::pair(QDir::homePath(), false), {"/usr/lib/ampwright", true},
                                          {"/opt/ampwright/bin", true}, {"/usr2/ampwright", false}}) {
            QCOMPARE(lpdata::LoadProfileCsv::defaultFolders(dir).preferred, system ? documents : dir + "/LP Data");
            QCOMPARE(lpdata::LoadProfileCsv::defaultFolders(dir).fallback, system ? QString() : documents);
        }
    }

    void recordsPerDay_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("perDay");
        const int fallback = loadprofile::kFallbackRecordsPerDay;
        QTest::newRow("15") << "15" << 96;
        QTest::newRow("1") << "1" << 1440;
        QTest::newRow("7 rounds") << "7" << 206;
        QTest::newRow("2.5 halves to even") << "2.5" << 720;
        QTest::newRow("30 sec") << "30 sec" << 2880;
        QTest::newRow("0") << "0" << fallback;
        QTest::newRow("abc") << "abc" << fallback;
        QTest::newRow("negative") << "-5" << fallback;
        QTest::newRow("huge") << "1e300" << fallback;
    }
    void recordsPerDay()
    {
        QFETCH(QString, interval);
        QFETCH(int, perDay);
        QCOMPARE(loadprofile::recordsPerDay(interval), perDay);
    }


    // 1000 records every 15 minutes: record r at 40000 + (r - 1) / 96.
    void startRecord_data()
    {
        QTest::addColumn<long long>("count");
        QTest::addColumn<double>("begin");
        QTest::addColumn<int>("perDay");
        QTest::addColumn<QList<long long>>("unreadable"); // first and last unreadable record
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<long long>("record");
        const QList<long long> none{0, -1};
        const Outcome found = Outcome::Found, unreadable = Outcome::Unreadable;
        QTest::newRow("before the oldest") << 1000LL << 39000.0 << 96 << none << found << 1LL;
        QTest::newRow("after the newest") << 1000LL << 40020.0 << 96 << none << found << 1000LL;
        QTest::newRow("first guess exact") << 1000LL << 40005.0 << 96 << none << found << 481LL;
        // Too few per day: the guess lands late and bisection follows.
        QTest::newRow("half a day before") << 1000LL << 40005.0 << 24 << none << found << 435LL;
        QTest::newRow("middles to even") << 1000LL << 40003.0 << 24 << none << found << 257LL;
        using Span = QList<long long>;
        QTest::newRow("stepped over") << 1000LL << 40005.0 << 24 << Span{435, 435} << found << 436LL;
        QTest::newRow("too many in a row") << 1000LL << 40005.0 << 24 << Span{400, 500} << unreadable << 0LL;
        QTest::newRow("none readable") << 1000LL << 40005.0 << 96 << Span{1, 1000} << unreadable << 0LL;
        QTest::newRow("not past the newest") << 1000LL << 40020.0 << 96 << Span{1000, 1000} << unreadable << 0LL;
        QTest::newRow("no records") << 0LL << 40005.0 << 96 << none << Outcome::NoRecords << 0LL;
    }
    void startRecord()
    {
        QFETCH(long long, count);
        QFETCH(double, begin);
        QFETCH(int, perDay);
        QFETCH(QList<long long>, unreadable);
        QFETCH(Outcome, outcome);
        QFETCH(long long, record);
        int probes = 0;
        const auto timeOf = [&](long long r) {
            if (++probes > 40 || r < 1 || r > count)
                qFatal("record %lld asked for as probe %d", r, probes);
            return r >= unreadable[0] && r <= unreadable[1] ? 0.0 : 40000 + double(r - 1) / 96;
        };
        const auto start = loadprofile::findStartRecord(begin, count, 40000 + 999.0 / 96, perDay, timeOf);
        QCOMPARE(start.outcome, outcome);
        QCOMPARE(start.record, record);
    }

    // A failed read of any probe ends the search without a record: it is
    // never taken for a time stamp.
    void searchFailsOnAnyFailedRead()
    {
        const double begin = lpdata::dateSerial(2024, 3, 6, 0, 0, 0);
        StampedMeter whole;
        const auto found = whole.search(begin);
        QCOMPARE(found.outcome, Outcome::Found);
        // Less than half a day before begin: 2024-03-05 12:00 or later.
        QVERIFY2(found.record >= 433 && found.record <= 481, qPrintable(QString::number(found.record)));
        QVERIFY(whole.probes >= 5);
        for (int n = 1; n <= whole.probes; ++n) {
            StampedMeter failing;
            failing.failProbe = n;
            const auto cut = failing.search(begin);
            QVERIFY2(cut.outcome == Outcome::Failed, qPrintable(QString::number(n)));
            QCOMPARE(failing.probes, n);
        }
    }

    void stamps_data()
    {
        QTest::addColumn<QByteArray>("stamp"); // year - 2000, month, day, hour, minute, second
        QTest::addColumn<bool>("valid");
        QTest::newRow("ordinary") << QByteArray("\x18\x03\x01\x17\x3B\x3B", 6) << true;
        QTest::newRow("29 February of a leap year") << QByteArray("\x18\x02\x1D\x00\x00\x00", 6) << true;
        QTest::newRow("29 February otherwise") << QByteArray("\x17\x02\x1D\x00\x00\x00", 6) << false;
        QTest::newRow("30 February") << QByteArray("\x18\x02\x1E\x00\x00\x00", 6) << false;
        QTest::newRow("month 0") << QByteArray("\x18\x00\x01\x00\x00\x00", 6) << false;
        QTest::newRow("month 13") << QByteArray("\x18\x0D\x01\x00\x00\x00", 6) << false;
        QTest::newRow("day 0") << QByteArray("\x18\x03\x00\x00\x00\x00", 6) << false;
        QTest::newRow("hour 24") << QByteArray("\x18\x03\x01\x18\x00\x00", 6) << false;
        QTest::newRow("minute 60") << QByteArray("\x18\x03\x01\x00\x3C\x00", 6) << false;
        QTest::newRow("second 60") << QByteArray("\x18\x03\x01\x00\x00\x3C", 6) << false;
        QTest::newRow("all 0xFF") << QByteArray(6, '\xFF') << false;
    }
    void stamps()
    {
        QFETCH(QByteArray, stamp);
        QFETCH(bool, valid);
        const QByteArray bytes = stamp + QByteArray(4, '\0');
        const auto records = lpdata::decodeRecords(
            std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())), 1, 1);
        QVERIFY(records);
        QCOMPARE(lpdata::hasValidStamp(records->front()), valid);
    }

    void typedRecordNumbers_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<bool>("startAccepted"); // among 100 valid records
        QTest::addColumn<QString>("stopAfter");  // the stop list's text after the rule
        QTest::newRow("in order") << "5" << "9" << true << "9";
        QTest::newRow("stop raised") << "17000" << "9" << false << "17000";
        QTest::newRow("equal") << "100" << "100" << true << "100";
        QTest::newRow("empty stop") << "7" << "" << true << "7";
        QTest::newRow("typed with blanks") << " 12 " << "3" << true << "12";
        QTest::newRow("empty start") << "" << "4" << true << "4";
        QTest::newRow("no number") << "abc" << "4" << true << "4";
        QTest::newRow("101") << "101" << "100" << false << "101";
    }
    void typedRecordNumbers()
    {
        QFETCH(QString, start);
        QFETCH(QString, stop);
        QFETCH(bool, startAccepted);
        QFETCH(QString, stopAfter);
        QCOMPARE(lpdata::typedRecordAccepted(start, 100), startAccepted);
        QCOMPARE(lpdata::stopFollowingStart(start, stop).value_or(stop), stopAfter);
    }

    void origins_data()
    {
        QTest::addColumn<loadprofile::DownloadOrigin>("now");
        QTest::addColumn<OriginChange>("change");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const loadprofile::DownloadOrigin began{"METERAAA11111111", meter::LpGroup::first(), 3, {1, 2, 3}, "15"};
        auto with = [&](auto change) { auto o = began; change(o); return o; };
        QTest::newRow("same") << began << OriginChange::None << "" << "";
        QTest::newRow("other meter") << with([](auto &o) { o.serial = "METERBBB22222222"; })
                                     << OriginChange::OtherMeter << "" << "";
        QTest::newRow("other group") << with([](auto &o) { o.group = meter::LpGroup::second(); }) << OriginChange::OtherMeter << "" << "";
        QTest::newRow("serial not read") << with([](auto &o) { o.serial.clear(); }) << OriginChange::OtherMeter
                                         << "" << "";
        QTest::newRow("channels") << with([](auto &o) { o.channels = 2; o.codes = {1, 2}; })
                                  << OriginChange::Channels << "3" << "2";
        QTest::newRow("codes") << with([](auto &o) { o.codes = {1, 2, 4}; }) << OriginChange::Codes << "1,2,3"
                               << "1,2,4";
        QTest::newRow("interval") << with([](auto &o) { o.interval = "5"; }) << OriginChange::Interval << "15"
                                  << "5";
    }
    void origins()
    {
        QFETCH(loadprofile::DownloadOrigin, now);
        QFETCH(OriginChange, change);
        QFETCH(QString, before);
        QFETCH(QString, after);
        const loadprofile::DownloadOrigin began{"METERAAA11111111", meter::LpGroup::first(), 3, {1, 2, 3}, "15"};
        QCOMPARE(loadprofile::originChange(began, now), change);
        QCOMPARE(loadprofile::changedValues(change, began, now), std::pair(before, after));
        // A download whose meter was never read continues nowhere.
        QCOMPARE(loadprofile::originChange({}, {}), OriginChange::OtherMeter);
    }

    void newOnlyStarts_data()
    {
        QTest::addColumn<long long>("valid");
        QTest::addColumn<double>("meterNewest"); // 0: not read yet
        QTest::addColumn<bool>("archived");
        QTest::addColumn<QDateTime>("newest");   // the archive's newest stamp; invalid: none
        QTest::addColumn<long long>("lastRecord"); // where its last download ended; 0: not known
        QTest::addColumn<NewOnlyKind>("kind");
        const QDateTime ten(QDate(2024, 3, 1), QTime(10, 0));
        const double at10 = lpdata::dateSerial(2024, 3, 1, 10, 0, 0);
        const double at1015 = lpdata::dateSerial(2024, 3, 1, 10, 15, 0);
        QTest::newRow("nothing archived") << 40LL << at1015 << false << QDateTime() << 0LL << NewOnlyKind::All;
        QTest::newRow("an archive without stamps") << 40LL << at1015 << true << QDateTime() << 0LL << NewOnlyKind::All;
        QTest::newRow("nothing archived, no records") << 0LL << 0.0 << false << QDateTime() << 0LL
                                                      << NewOnlyKind::NothingNew;
        QTest::newRow("the group cleared") << 0LL << 0.0 << true << ten << 40LL << NewOnlyKind::NothingNew;
        QTest::newRow("the meter's newest is archived") << 40LL << at10 << true << ten << 0LL << NewOnlyKind::NothingNew;
        QTest::newRow("newer records") << 40LL << at1015 << true << ten << 0LL << NewOnlyKind::Search;
        QTest::newRow("the meter's newest not read yet") << 40LL << 0.0 << true << ten << 0LL << NewOnlyKind::Search;
        // A clock set back: the last record is read again first.
        QTest::newRow("older stamps after the archive's last record")
            << 44LL << at10 - 1.0 << true << ten << 40LL << NewOnlyKind::Search;
    }
    void newOnlyStarts()
    {
        QFETCH(long long, valid);
        QFETCH(double, meterNewest);
        QFETCH(bool, archived);
        QFETCH(QDateTime, newest);
        QFETCH(long long, lastRecord);
        QFETCH(NewOnlyKind, kind);
        const auto end = archived ? std::optional(lpdata::ArchivedEnd{newest, lastRecord, newest}) : std::nullopt;
        const loadprofile::NewOnlyStart start = loadprofile::newOnlyStart(valid, meterNewest, end);
        QCOMPARE(start.kind, kind);
        // Nothing new says since when, once the archive holds a stamp.
        QCOMPARE(start.newest.isEmpty(), kind != NewOnlyKind::NothingNew || !newest.isValid());
        if (kind != NewOnlyKind::Search)
            return;
        QCOMPARE(start.begin, loadprofile::serialOf(newest) + loadprofile::kOneSecond);
        QCOMPARE(start.lastRecord, lastRecord);
        QCOMPARE(start.lastRecordStamp, newest);
    }
};

QTEST_GUILESS_MAIN(TestLpCore)
#include "test_lp_core.moc"
