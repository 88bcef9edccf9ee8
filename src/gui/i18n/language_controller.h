#pragma once

#include "i18n/language_files.h"
#include "i18n/language_texts.h"

#include <QObject>

#include <array>

#include <functional>

namespace ui {
class ControlMap;
}

namespace i18n {

// The language of the main window: applies a language file (message texts,
// language code, captions, the language list) and serves the language button.
class LanguageController : public QObject {
    Q_OBJECT
public:
    // rtuMode tells the link mode, which picks the texts of some captions.
    LanguageController(const LanguageFiles &files, const ui::ControlMap &controls,
                       std::function<bool()> rtuMode, QObject *parent = nullptr);

    // The message texts of the applied file. The reference stays valid; its
    // contents change when another file is applied.
    const LanguageTexts &texts() const { return texts_; }
    // The applied file, for captions made of several of its texts.
    const IniFile &file() const { return file_; }
    Language language() const { return language_; }

    // Applies the file of a language to the window.
    void applyLanguage(Language language);

    // The language button: applies the language picked in Combo_Languages.
    void langCheck_Click();

    // No language change while the link is online: the language list and
    // its button are disabled then.
    void setLinkOnline(bool online);

    // Row of each language in Combo_Languages (English, Chinese, Japanese);
    // -1 for a language that is not offered.
    std::array<int, kLanguageCount> LanguageRows{-1, -1, -1};

signals:
    // The language button applied a language.
    void languageChosen(i18n::Language language);
    // A language was applied, by the button or by the program.
    void languageApplied();

private:
    void applyCaptions(const IniFile &file);
    // Gives every control under root that names a caption key of its own
    // (setCaptionKey) the text of that key in the applied file.
    void translate(QWidget *root) const;
    void fillLanguageList(const IniFile &file, Language applied);

    const LanguageFiles &files_;
    const ui::ControlMap &controls_;
    std::function<bool()> rtuMode_;
    LanguageTexts texts_;
    IniFile file_;
    Language language_ = Language::English;
};

} // namespace i18n
