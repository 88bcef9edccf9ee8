#include "i18n/ini_file.h"

#include <QTemporaryDir>
#include <QtTest>

using i18n::CodePage;
using i18n::IniFile;

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void decodesCodePages_data();
    void decodesCodePages();
    void looksUpLikeTheLanguageFiles_data();
    void looksUpLikeTheLanguageFiles();
    void readsIntegers_data();
    void readsIntegers();
    void missingFileGivesDefaults();
    void findsFilesCaseInsensitively_data();
    void findsFilesCaseInsensitively();
};

void TestIniFile::decodesCodePages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("expected");

    QTest::newRow("windows-1252") << QByteArray("[s]\r\nk=Caf\xe9 \x80 5\r\n")
                                  << int(CodePage::Windows1252) << "s" << QStringLiteral("Café € 5");
    QTest::newRow("big5") << QByteArray("[s]\nk=\xbf\xf9\xbb\x7e\n") << int(CodePage::Big5) << "s"
                          << QStringLiteral("錯誤");
    // 表 is 0x95 0x5C: its trail byte is the backslash.
    QTest::newRow("shift_jis backslash trail byte")
        << QByteArray("[s]\nk=\x95\x5c\x8e\xa6\n") << int(CodePage::ShiftJis) << "s"
        << QStringLiteral("表示");
    // ゾ is 0x83 0x5D: its trail byte is ']', which must not end the section name.
    QTest::newRow("shift_jis bracket trail byte in a section name")
        << QByteArray("[\x83\x5d]\nk=\x83\x5d\n") << int(CodePage::ShiftJis)
        << QStringLiteral("ゾ") << QStringLiteral("ゾ");
    QTest::newRow("utf-8 byte-order mark wins")
        << QByteArray("\xef\xbb\xbf[s]\nk=\xe4\xb8\xad\xe6\x96\x87\n") << int(CodePage::Windows1252)
        << "s" << QStringLiteral("中文");
}

void TestIniFile::decodesCodePages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, codePage);
    QFETCH(QString, section);
    QFETCH(QString, expected);
    QCOMPARE(IniFile::parse(bytes, CodePage(codePage)).text(section, QStringLiteral("k")),
             expected);
}

void TestIniFile::looksUpLikeTheLanguageFiles_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("names in other case") << "LOGIN" << "STRMSGBOXERR" << "Error";
    QTest::newRow("blanks around name and value") << "Login" << "padded" << "a b";
    QTest::newRow("quotes removed") << "Login" << "quoted" << " q ";
    QTest::newRow("first key wins") << "Login" << "twice" << "first";
    QTest::newRow("repeated section is not read") << "Login" << "later" << "0";
    QTest::newRow("semicolon inside a value is kept") << "Login" << "semi" << "a;b";
    QTest::newRow("comment line is no key") << "Login" << ";hidden" << "0";
    QTest::newRow("missing key") << "Login" << "nothing" << "0";
    QTest::newRow("missing section") << "Other" << "strMsgBoxerr" << "0";
    QTest::newRow("empty value") << "Login" << "empty" << "";
    QTest::newRow("cut to 99 characters") << "Login" << "long" << QString(99, QLatin1Char('x'));
    QTest::newRow("never half a surrogate pair")
        << "Login" << "pairs" << QString(98, QLatin1Char('y'));
}

void TestIniFile::looksUpLikeTheLanguageFiles()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    QByteArray text = "[Login]\r\n"
                      "strMsgBoxerr=Error\r\n"
                      "  padded  =   a b   \r\n"
                      "quoted=\" q \"\r\n"
                      "twice=first\r\n"
                      "twice=second\r\n"
                      "semi=a;b\r\n"
                      ";hidden=yes\r\n"
                      "empty=\r\n"
                      "long=" + QByteArray(120, 'x') + "\r\n"
                      "pairs=" + QByteArray(98, 'y') + "\xf0\x9f\x98\x80\r\n"
                      "[login]\r\n"
                      "later=seen\r\n";
    // The surrogate pair of the last row is UTF-8; read the file as such.
    text.prepend("\xef\xbb\xbf");
    QCOMPARE(IniFile::parse(text, CodePage::Windows1252).text(section, key), expected);
}

void TestIniFile::readsIntegers_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("number") << "lang" << 2;
    QTest::newRow("blanks") << "blank" << 3;
    QTest::newRow("leading digits") << "mixed" << 12;
    QTest::newRow("not a number") << "word" << 0;
    QTest::newRow("missing") << "none" << 0;
    QTest::newRow("negative") << "negative" << -4;
    QTest::newRow("too large is held") << "huge" << std::numeric_limits<int>::max();
}

void TestIniFile::readsIntegers()
{
    QFETCH(QString, key);
    QFETCH(int, expected);
    const IniFile file = IniFile::parse("[Login]\nlang=2\nblank=  3  \nmixed=12ab\nword=abc\n"
                                        "negative=-4\nhuge=99999999999999\n",
                                        CodePage::Windows1252);
    QCOMPARE(file.integer(QStringLiteral("login"), key), expected);
}

void TestIniFile::missingFileGivesDefaults()
{
    QTemporaryDir dir;
    const IniFile file = IniFile::load(dir.filePath(QStringLiteral("none.ini")), CodePage::Big5);
    QVERIFY(file.isEmpty());
    QCOMPARE(file.text(QStringLiteral("Login"), QStringLiteral("strMsgBoxerr")), QStringLiteral("0"));
    QCOMPARE(file.integer(QStringLiteral("Login"), QStringLiteral("lang")), 0);
}

void TestIniFile::findsFilesCaseInsensitively_data()
{
    QTest::addColumn<QString>("onDisk");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");
    QTest::newRow("same spelling") << "english.ini" << "english.ini" << true;
    QTest::newRow("other case") << "english.ini" << "English.ini" << true;
    QTest::newRow("trailing blank of the name") << "english.ini" << "english.ini " << true;
    QTest::newRow("file in capitals") << "JAPANESE.INI" << "Japanese.ini" << true;
    QTest::newRow("other file") << "chinese.ini" << "english.ini" << false;
    QTest::newRow("blank only") << "english.ini" << " " << false;
}

void TestIniFile::findsFilesCaseInsensitively()
{
    QFETCH(QString, onDisk);
    QFETCH(QString, asked);
    QFETCH(bool, found);
    QTemporaryDir dir;
    QFile file(dir.filePath(onDisk));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = i18n::findFileInFolder(dir.path(), asked);
    QCOMPARE(path.isEmpty(), !found);
    if (found)
        QCOMPARE(path, dir.filePath(onDisk));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
