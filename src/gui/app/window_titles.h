#pragma once

#include "i18n/language_files.h"

#include <QString>

namespace app {

// The window titles of the three languages, read from the title files
// titlee.txt, titlec.txt and titlej.txt (key titlename of section name;
// "0" when a file or the key is missing).
struct WindowTitles {
    QString english, chinese, japanese;

    static WindowTitles read(const QString &programDir);

    // The title for a language code: 2 Chinese, 3 Japanese, any other English.
    QString forLanguageCode(int code) const;
    QString forLanguage(i18n::Language language) const;
};

} // namespace app
