#pragma once

#include "i18n/ini_file.h"

#include <QString>

#include <array>

namespace i18n {

// The three user-interface languages, numbered as the start form's
// language names and the availability flags are.
enum class Language { English = 0, Chinese = 1, Japanese = 2 };
inline constexpr int kLanguageCount = 3;

// The language code that key "lang" of section "Login" holds in each file.
inline constexpr int kLanguageCodeChinese = 2;
inline constexpr int kLanguageCodeJapanese = 3;

// Which language files exist beside the program. Filled by the start form.
struct LanguageFiles {
    // Index 1 English, 2 Chinese, 3 Japanese (index 0 unused): the file's path.
    std::array<QString, kLanguageCount + 1> LangFilePath;
    // Index 0 English, 1 Chinese, 2 Japanese; index 3 is always false.
    std::array<bool, kLanguageCount + 1> LangAvailable{};

    bool available(Language language) const { return LangAvailable[static_cast<int>(language)]; }
    QString path(Language language) const { return LangFilePath[static_cast<int>(language) + 1]; }
};

// The file name of a language file as the program asks for it (the lookup
// in the folder is case-insensitive).
QString languageFileName(Language language);
// The file name of the title file of a language.
QString titleFileName(Language language);
// The code page a language's files are stored in.
CodePage codePageOf(Language language);

// Looks for the three language files in folder.
LanguageFiles findLanguageFiles(const QString &folder);

} // namespace i18n
