#include "gui/app/language_sel_form.h"
#include "recording_messages.h"

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A program folder holding the named (empty) files.
void createFiles(const QTemporaryDir &dir, const QStringList &names)
{
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

QStringList entries(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

} // namespace

class TestLanguageSelForm : public QObject {
    Q_OBJECT
private slots:
    void offersTheLanguagesPresent_data();
    void offersTheLanguagesPresent();
    void answers_data();
    void answers();
    void withoutLanguageFiles();
};

void TestLanguageSelForm::offersTheLanguagesPresent_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QList<bool>>("available");
    QTest::addColumn<int>("langChoice");

    QTest::newRow("all three")
        << QStringList{"english.ini", "chinese.ini", "Japanese.ini"}
        << QStringList{"English", "中文", "日本語"} << QList<bool>{true, true, true, false} << 0;
    // The answer is the index among all languages, not the row in the list.
    QTest::newRow("only chinese") << QStringList{"chinese.ini"} << QStringList{"中文"}
                                  << QList<bool>{false, true, false, false} << 1;
    QTest::newRow("english and japanese")
        << QStringList{"english.ini", "Japanese.ini"} << QStringList{"English", "日本語"}
        << QList<bool>{true, false, true, false} << 0;
    QTest::newRow("names in other case") << QStringList{"ENGLISH.INI", "japanese.ini"}
                                         << QStringList{"English", "日本語"}
                                         << QList<bool>{true, false, true, false} << 0;
}

void TestLanguageSelForm::offersTheLanguagesPresent()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, offered);
    QFETCH(QList<bool>, available);
    QFETCH(int, langChoice);

    QTemporaryDir dir;
    createFiles(dir, files);
    i18n::LanguageFiles languageFiles;
    testsupport::RecordingMessages messages;
    app::LanguageSelForm form(languageFiles, messages, dir.path());
    form.Form_Load();

    QVERIFY(messages.shown.isEmpty());
    auto *list = form.findChild<QComboBox *>(QStringLiteral("Combo_Lang"));
    QCOMPARE(entries(list), offered);
    QCOMPARE(list->currentIndex(), 0);
    const QList<bool> flags(languageFiles.LangAvailable.begin(), languageFiles.LangAvailable.end());
    QCOMPARE(flags, available);
    for (int k = 0; k < i18n::kLanguageCount; ++k) {
        if (available[k])
            QVERIFY(QFileInfo::exists(languageFiles.LangFilePath[k + 1]));
    }

    form.findChild<QPushButton *>(QStringLiteral("CommOK"))->click();
    QCOMPARE(form.LangChoice, langChoice);
    QCOMPARE(form.ConnectChoice, 0);
}

void TestLanguageSelForm::answers_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("connectChoice");
    QTest::addColumn<int>("langChoice");

    QTest::newRow("enter, serial, english") << "RS485(Modbus RTU)" << "English" << "CommOK" << 0 << 0;
    QTest::newRow("enter, tcp, japanese") << "Ethernet(TCP)" << "日本語" << "CommOK" << 1 << 2;
    QTest::newRow("close whatever is chosen") << "Ethernet(TCP)" << "中文" << "CommLeave" << 99 << 0;
    QTest::newRow("close box answers nothing") << "Ethernet(TCP)" << "中文" << "" << 0 << 0;
}

void TestLanguageSelForm::answers()
{
    QFETCH(QString, connection);
    QFETCH(QString, language);
    QFETCH(QString, button);
    QFETCH(int, connectChoice);
    QFETCH(int, langChoice);

    QTemporaryDir dir;
    createFiles(dir, {"english.ini", "chinese.ini", "Japanese.ini"});
    i18n::LanguageFiles languageFiles;
    testsupport::RecordingMessages messages;
    app::LanguageSelForm form(languageFiles, messages, dir.path());
    form.Form_Load();
    form.show();
    auto *connect = form.findChild<QComboBox *>(QStringLiteral("Combo_Connect"));
    auto *lang = form.findChild<QComboBox *>(QStringLiteral("Combo_Lang"));
    connect->setCurrentIndex(connect->findText(connection));
    lang->setCurrentIndex(lang->findText(language));

    if (button.isEmpty())
        form.close();
    else
        form.findChild<QPushButton *>(button)->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.ConnectChoice, connectChoice);
    QCOMPARE(form.LangChoice, langChoice);
}

void TestLanguageSelForm::withoutLanguageFiles()
{
    QTemporaryDir dir;
    i18n::LanguageFiles languageFiles;
    testsupport::RecordingMessages messages;
    app::LanguageSelForm form(languageFiles, messages, dir.path());
    form.Form_Load();

    QCOMPARE(messages.shown.size(), 1);
    const auto &message = messages.shown.first();
    QCOMPARE(message.kind, ui::MessageKind::Critical);
    QCOMPARE(message.title, QStringLiteral("Error"));
    QVERIFY(message.text.contains(QStringLiteral(" Program path must be in English!\n")));
    QVERIFY(message.text.endsWith(QDir::toNativeSeparators(dir.path())));
    QCOMPARE(form.findChild<QComboBox *>(QStringLiteral("Combo_Lang"))->count(), 0);
    QCOMPARE(form.findChild<QComboBox *>(QStringLiteral("Combo_Connect"))->count(), 0);

    // Enter still works and answers English in serial mode.
    form.findChild<QPushButton *>(QStringLiteral("CommOK"))->click();
    QCOMPARE(form.ConnectChoice, 0);
    QCOMPARE(form.LangChoice, 0);
}

QTEST_MAIN(TestLanguageSelForm)
#include "test_language_sel_form.moc"
