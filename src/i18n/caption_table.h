#pragma once

#include <span>

namespace i18n {

// When a caption takes its text from another key than its usual one.
enum class CaptionVariant {
    Always,       // key only
    ByLinkMode,   // key in serial mode, keyAlternative in TCP mode
    ByLPIndex,    // key while txtLPindex is shown, keyAlternative while it is hidden
};

// One caption that a language file sets: the control (object name, control
// arrays as "name(index)"), or one tab of a tab control when tab >= 0, gets
// the text of section/key and the font "Arial" at pointSize.
struct CaptionRow {
    const char *section;
    const char *key;
    const char *control;
    int pointSize = 11;
    int tab = -1;
    CaptionVariant variant = CaptionVariant::Always;
    const char *keyAlternative = nullptr;
};

// Every language-dependent caption of the main window, in the order the
// language file is applied.
std::span<const CaptionRow> mainWindowCaptions();

// Keys of the three rows of the language list, in the order English,
// Chinese, Japanese (section leftdownini).
inline constexpr const char *kLanguageListSection = "leftdownini";
inline constexpr const char *kLanguageListKeys[] = {"leftdown_Comadd1", "leftdown_Comadd2",
                                                    "leftdown_Comadd3"};

} // namespace i18n
