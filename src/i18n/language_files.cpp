#include "i18n/language_files.h"

#include <QDir>

namespace i18n {

QString languageFileName(Language language)
{
    switch (language) {
    case Language::English:
        return QStringLiteral("English.ini");
    case Language::Chinese:
        return QStringLiteral("Chinese.ini");
    case Language::Japanese:
        return QStringLiteral("Japanese.ini");
    }
    return {};
}

QString titleFileName(Language language)
{
    switch (language) {
    case Language::English:
        return QStringLiteral("titlee.txt");
    case Language::Chinese:
        return QStringLiteral("titlec.txt");
    case Language::Japanese:
        return QStringLiteral("titlej.txt");
    }
    return {};
}

CodePage codePageOf(Language language)
{
    switch (language) {
    case Language::English:
        return CodePage::Windows1252;
    case Language::Chinese:
        return CodePage::Big5;
    case Language::Japanese:
        return CodePage::ShiftJis;
    }
    return CodePage::Windows1252;
}

LanguageFiles findLanguageFiles(const QString &folder)
{
    LanguageFiles files;
    for (int k = 0; k < kLanguageCount; ++k) {
        const QString name = languageFileName(static_cast<Language>(k));
        const QString found = findFileInFolder(folder, name);
        files.LangFilePath[k + 1] = found.isEmpty() ? QDir(folder).filePath(name) : found;
        files.LangAvailable[k] = !found.isEmpty();
    }
    files.LangAvailable[kLanguageCount] = false;
    return files;
}

} // namespace i18n
