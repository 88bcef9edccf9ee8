#pragma once

#include "i18n/language_files.h"

#include <QDialog>

#include <array>

namespace ui {
class Messages;
}
class QComboBox;

namespace app {

// The start form: asks for the connection mode and the language before the
// main window opens, offering only the languages whose file is present.
// Its answers are read after it has closed; the close box leaves them at
// 0 and 0 (English, serial mode).
class LanguageSelForm : public QDialog {
    Q_OBJECT
public:
    // ConnectChoice of a user who left with "Close".
    static constexpr int kLeave = 99;

    LanguageSelForm(i18n::LanguageFiles &files, ui::Messages &messages, const QString &programDir,
                    QWidget *parent = nullptr);

    // The load routine: finds the language files and fills both lists.
    void Form_Load();
    void CommOK_Click();
    void CommLeave_Click();

    std::array<QString, i18n::kLanguageCount> LangNames;
    std::array<QString, 2> ConnectNames;
    // Index into LangNames: 0 English, 1 Chinese, 2 Japanese.
    int LangChoice = 0;
    // 0 serial Modbus RTU, 1 Modbus TCP, kLeave the user left.
    int ConnectChoice = 0;

private:
    i18n::LanguageFiles &files_;
    ui::Messages &messages_;
    QString programDir_;
    QComboBox *connectList_;
    QComboBox *languageList_;
};

} // namespace app
