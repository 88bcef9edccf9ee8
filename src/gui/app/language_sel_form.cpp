#include "gui/app/language_sel_form.h"

#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

namespace {

// The position of text among names; -1 when no name equals it.
template <std::size_t N>
int indexOf(const QString &text, const std::array<QString, N> &names)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (!names[i].isEmpty() && names[i] == text)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

LanguageSelForm::LanguageSelForm(i18n::LanguageFiles &files, ui::Messages &messages,
                                 const QString &programDir, QWidget *parent)
    : QDialog(parent), files_(files), messages_(messages), programDir_(programDir)
{
    setObjectName(QStringLiteral("LanguageSelForm"));
    setWindowTitle(QStringLiteral("Initial Setting"));

    connectList_ = ui::makeNamed<QComboBox>(this, "Combo_Connect");
    languageList_ = ui::makeNamed<QComboBox>(this, "Combo_Lang");
    auto *ok = ui::makeNamed<QPushButton>(this, "CommOK");
    ok->setText(QStringLiteral("Enter"));
    ok->setDefault(true);
    auto *leave = ui::makeNamed<QPushButton>(this, "CommLeave");
    leave->setText(QStringLiteral("Close"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ui::makeNamedLabel(this, "CommunicationMode", QStringLiteral("請選擇通訊模式")));
    layout->addWidget(
        ui::makeNamedLabel(this, "Label1", QStringLiteral("Please select your communication mode")));
    layout->addWidget(connectList_);
    layout->addSpacing(12);
    layout->addWidget(ui::makeNamedLabel(this, "ChiExp", QStringLiteral("請選擇語言版本")));
    layout->addWidget(ui::makeNamedLabel(this, "EngExp", QStringLiteral("Please select your language")));
    layout->addWidget(languageList_);
    layout->addSpacing(12);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(leave);
    layout->addLayout(buttons);
    setMinimumWidth(340);

    connect(ok, &QPushButton::clicked, this, &LanguageSelForm::CommOK_Click);
    connect(leave, &QPushButton::clicked, this, &LanguageSelForm::CommLeave_Click);
}

void LanguageSelForm::Form_Load()
{
    LangNames = {QStringLiteral("English"), QStringLiteral("中文"), QStringLiteral("日本語")};
    files_ = i18n::findLanguageFiles(programDir_);
    for (int k = 0; k < i18n::kLanguageCount; ++k) {
        if (files_.LangAvailable[k])
            languageList_->addItem(LangNames[k]);
    }
    if (languageList_->count() == 0) {
        // The connection list stays empty too: the form can only be left.
        messages_.show(ui::MessageKind::Critical, QStringLiteral("Error"),
                       tr("No language file (english.ini, chinese.ini, Japanese.ini) was found "
                          "beside the program.")
                           + QStringLiteral(" Program path must be in English!\n")
                           + QDir::toNativeSeparators(programDir_));
        return;
    }
    languageList_->setCurrentIndex(0);

    ConnectNames = {QStringLiteral("RS485(Modbus RTU)"), QStringLiteral("Ethernet(TCP)")};
    for (const QString &name : ConnectNames)
        connectList_->addItem(name);
    connectList_->setCurrentIndex(0);
}

void LanguageSelForm::CommOK_Click()
{
    if (const int language = indexOf(languageList_->currentText(), LangNames); language >= 0)
        LangChoice = language;
    if (const int mode = indexOf(connectList_->currentText(), ConnectNames); mode >= 0)
        ConnectChoice = mode;
    accept();
}

void LanguageSelForm::CommLeave_Click()
{
    ConnectChoice = kLeave;
    reject();
}

} // namespace app
