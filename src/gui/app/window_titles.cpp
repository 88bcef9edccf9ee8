#include "gui/app/window_titles.h"

#include "i18n/ini_file.h"
#include "i18n/language_files.h"

namespace app {

namespace {

QString readTitle(const QString &programDir, i18n::Language language)
{
    const QString path = i18n::findFileInFolder(programDir, i18n::titleFileName(language));
    return i18n::IniFile::load(path, i18n::codePageOf(language))
        .text(QStringLiteral("name"), QStringLiteral("titlename"));
}

} // namespace

WindowTitles WindowTitles::read(const QString &programDir)
{
    WindowTitles titles;
    titles.english = readTitle(programDir, i18n::Language::English);
    titles.chinese = readTitle(programDir, i18n::Language::Chinese);
    titles.japanese = readTitle(programDir, i18n::Language::Japanese);
    return titles;
}

QString WindowTitles::forLanguageCode(int code) const
{
    if (code == i18n::kLanguageCodeChinese)
        return chinese;
    if (code == i18n::kLanguageCodeJapanese)
        return japanese;
    return english;
}

QString WindowTitles::forLanguage(i18n::Language language) const
{
    switch (language) {
    case i18n::Language::Chinese:
        return chinese;
    case i18n::Language::Japanese:
        return japanese;
    case i18n::Language::English:
        break;
    }
    return english;
}

} // namespace app
