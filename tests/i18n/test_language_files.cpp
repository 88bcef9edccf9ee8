// The shipped language and title files: every key the program reads is
// present in each language, decodes in its code page and fits the 99
// characters a key can hold. (The captions of our own, which the pages name
// on their controls, are checked through the window in test_language_captions.)
#include "i18n/caption_table.h"
#include "i18n/ini_file.h"
#include "i18n/language_files.h"
#include "i18n/language_texts.h"
#include "test_paths.h"

#include <QFile>
#include <QtTest>

using i18n::IniFile;
using i18n::Language;

namespace {

struct Key {
    const char *section;
    const char *key;
};

// Message keys and the keys that are read but shown nowhere.
const Key kMessageKeys[] = {
    {"Login", "strMsgBoxerr"}, {"Login", "strMsgBoxW"}, {"Login", "strMsgBoxCT_P"},
    {"Login", "strMsgBoxCT_S"}, {"Login", "strMsgBoxCurrent"}, {"Login", "strMsgBoxPT_P"},
    {"Login", "strMsgBoxPT_S"}, {"Login", "strMsgBoxNovalue"}, {"Login", "strMsgBoxOvervalue"},
    {"onlineini", "online_Status2"}, {"onlineini", "online_CheckIP1"},
    {"onlineini", "online_CheckIP2"}, {"onlineini", "online_ON"}, {"onlineini", "online_OFF"},
    {"onlineini", "Comm_Complete"}, {"onlineini", "online_C"}, {"onlineini", "online_D"},
    {"onlineini", "online_Status1"}, {"onlineini", "online_error1"},
    {"onlineini", "online_error2"}, {"onlineini", "online_Out1"}, {"onlineini", "online_Out2"},
    {"onlineini", "online_W"}, {"LPFini", "dataItem1"}, {"LPFini", "dataItem2"},
    {"LPFini", "dataItem3"}, {"LPFini", "dataItem4"}, {"LPFini", "stopLPFread"},
    {"LPFini", "LPFClick"}, {"LPFini", "LPF_war"}, {"Saveini", "Set_Time_OK"},
    {"Saveini", "Set_Time_NO"}, {"Saveini", "Set_Time"}, {"Saveini", "Save_Data"},
    {"Saveini", "Saveing_Data"}, {"Saveini", "Modbus_addsel"}, {"modbusini", "change_modbus1"},
    {"modbusini", "change_modbus2"}, {"modbusini", "change_modbus3"},
    {"modbusini", "change_modbus4"}, {"modbusini", "change_modbus5"},
    {"modbusini", "change_modbus6"}, {"Phaserini", "Phaser_La7"}, {"Phaserini", "Phaser_La51"},
    {"Phaserini", "Phaser_La52"}, {"Phaserini", "Phaser_La2_5"}, {"Phaserini", "Phaser_La2_54"},
    {"Phaserini", "Phaser_End"},
    // Messages and chart titles of our own.
    {"strmsgboxini", "rightdown_RatioInvalid"}, {"strmsgboxini", "rightdown_CO2Invalid"},
    {"strmsgboxini", "rightdown_LPNumberInvalid"}, {"strmsgboxini", "rightdown_LPChannelsInvalid"},
    {"strmsgboxini", "rightdown_LPFolderFallback"}, {"strmsgboxini", "rightdown_LPFileError"},
    {"strmsgboxini", "rightdown_LPDateUnreadable"}, {"strmsgboxini", "rightdown_PortDenied"},
    {"strmsgboxini", "rightdown_PortDenied2"}, {"Harmonicini", "harmonic_Order"},
    {"Harmonicini", "harmonic_Unit"},
};

QString programFile(const QString &name)
{
    return i18n::findFileInFolder(testsupport::binDir(), name);
}

// The raw value as written in the file, to catch values that a lookup cuts.
int longestValue(const QString &path, i18n::CodePage codePage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int longest = 0;
    const QString text = i18n::decodeText(file.readAll(), codePage);
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !line.startsWith(QLatin1Char(';')))
            longest = std::max<int>(longest, line.mid(equals + 1).trimmed().size());
    }
    return longest;
}

} // namespace

class TestLanguageFiles : public QObject {
    Q_OBJECT
private slots:
    void everyKeyIsPresent_data();
    void everyKeyIsPresent();
    void titles_data();
    void titles();
};

void TestLanguageFiles::everyKeyIsPresent_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("errorTitle");
    QTest::newRow("english") << int(Language::English) << 1 << QStringLiteral("Error");
    QTest::newRow("chinese") << int(Language::Chinese) << 2 << QStringLiteral("錯誤");
    QTest::newRow("japanese") << int(Language::Japanese) << 3 << QStringLiteral("エラー");
}

void TestLanguageFiles::everyKeyIsPresent()
{
    QFETCH(int, language);
    QFETCH(int, code);
    QFETCH(QString, errorTitle);
    const auto lang = Language(language);
    const QString path = programFile(i18n::languageFileName(lang));
    QVERIFY2(!path.isEmpty(), "language file missing beside the program");
    const IniFile file = IniFile::load(path, i18n::codePageOf(lang));

    QCOMPARE(file.integer(QStringLiteral("Login"), QStringLiteral("lang")), code);
    QCOMPARE(i18n::LanguageTexts::read(file).strMsgBoxerr, errorTitle);
    QVERIFY2(longestValue(path, i18n::codePageOf(lang)) <= IniFile::kMaxValueChars,
             "a value is longer than a key can hold");

    QStringList missing;
    auto check = [&](const char *section, const char *key) {
        if (!key)
            return;
        const QString text = file.text(QLatin1String(section), QLatin1String(key));
        if (text == IniFile::missingText() || text.contains(QChar::ReplacementCharacter))
            missing << QStringLiteral("%1/%2").arg(QLatin1String(section), QLatin1String(key));
    };
    for (const Key &key : kMessageKeys)
        check(key.section, key.key);
    for (int box = 1; box <= 12; ++box)
        check("strmsgboxini", qPrintable(QStringLiteral("rightdown_Box%1").arg(box)));
    for (const i18n::CaptionRow &row : i18n::mainWindowCaptions()) {
        check(row.section, row.key);
        check(row.section, row.keyAlternative);
    }
    for (const char *key : i18n::kLanguageListKeys)
        check(i18n::kLanguageListSection, key);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
}

void TestLanguageFiles::titles_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("contains");
    QTest::newRow("english") << int(Language::English) << QStringLiteral("Meter");
    QTest::newRow("chinese") << int(Language::Chinese) << QStringLiteral("電表");
    QTest::newRow("japanese") << int(Language::Japanese) << QStringLiteral("電力量計");
}

void TestLanguageFiles::titles()
{
    QFETCH(int, language);
    QFETCH(QString, contains);
    const auto lang = Language(language);
    const IniFile file =
        IniFile::load(programFile(i18n::titleFileName(lang)), i18n::codePageOf(lang));
    QVERIFY(file.text(QStringLiteral("name"), QStringLiteral("titlename")).contains(contains));
}

QTEST_GUILESS_MAIN(TestLanguageFiles)
#include "test_language_files.moc"
