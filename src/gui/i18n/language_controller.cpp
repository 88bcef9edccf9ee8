#include "gui/i18n/language_controller.h"

#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "i18n/caption_table.h"

#include <QComboBox>
#include <QFont>
#include <QTabBar>
#include <QTabWidget>

namespace i18n {

namespace {

const QString kCaptionFont = QStringLiteral("Arial");

QFont captionFont(const QWidget *control, int pointSize)
{
    QFont font = control->font();
    font.setFamily(kCaptionFont);
    font.setPointSize(pointSize);
    return font;
}

} // namespace

LanguageController::LanguageController(const LanguageFiles &files, const ui::ControlMap &controls,
                                       std::function<bool()> rtuMode, QObject *parent)
    : QObject(parent), files_(files), controls_(controls), rtuMode_(std::move(rtuMode))
{
}

void LanguageController::setLinkOnline(bool online)
{
    for (const char *name : {"Combo_Languages", "langCheck"})
        controls_.require<QWidget>(QLatin1String(name))->setEnabled(!online);
}

void LanguageController::applyLanguage(Language language)
{
    file_ = IniFile::load(files_.path(language), codePageOf(language));
    language_ = language;
    texts_ = LanguageTexts::read(file_);
    if (auto *online = controls_.get<QWidget>(QStringLiteral("cmdOnLine")))
        ui::setCaption(online, texts_.online_ON);
    applyCaptions(file_);
    translate(controls_.root());
    fillLanguageList(file_, language);
    emit languageApplied();
}

void LanguageController::translate(QWidget *root) const
{
    if (!root)
        return;
    QList<QWidget *> controls = root->findChildren<QWidget *>();
    controls.prepend(root);
    for (QWidget *control : controls) {
        const ui::CaptionKey key = ui::captionKeyOf(control);
        if (key.key.isEmpty())
            continue;
        ui::setCaption(control, ui::captionText(file_.text(key.section, key.key), key.number));
    }
}

void LanguageController::applyCaptions(const IniFile &file)
{
    for (const CaptionRow &row : mainWindowCaptions()) {
        QWidget *control = controls_.find(QLatin1String(row.control));
        if (!control)
            continue;

        const char *key = row.key;
        if (row.variant == CaptionVariant::ByLinkMode && !rtuMode_())
            key = row.keyAlternative;
        if (row.variant == CaptionVariant::ByLPIndex) {
            const QWidget *index = controls_.find(QStringLiteral("txtLPindex"));
            if (!index || index->isHidden())
                key = row.keyAlternative;
        }
        const QString text = file.text(QLatin1String(row.section), QLatin1String(key));

        if (row.tab >= 0) {
            // A tab's caption changes without selecting the tab.
            auto *tabs = qobject_cast<QTabWidget *>(control);
            if (!tabs || row.tab >= tabs->count())
                continue;
            tabs->setTabText(row.tab, text);
            tabs->tabBar()->setFont(captionFont(tabs->tabBar(), row.pointSize));
            continue;
        }
        ui::setCaption(control, text);
        control->setFont(captionFont(control, row.pointSize));
    }
}

void LanguageController::fillLanguageList(const IniFile &file, Language applied)
{
    auto *list = controls_.get<QComboBox>(QStringLiteral("Combo_Languages"));
    if (!list)
        return;
    const QSignalBlocker quiet(list);
    list->clear();
    for (int k = 0; k < kLanguageCount; ++k) {
        LanguageRows[k] = -1;
        if (!files_.LangAvailable[k])
            continue;
        LanguageRows[k] = list->count();
        list->addItem(file.text(QLatin1String(kLanguageListSection),
                                QLatin1String(kLanguageListKeys[k])));
    }
    list->setCurrentIndex(LanguageRows[static_cast<int>(applied)]);
    list->setFont(captionFont(list, 11));
}

void LanguageController::langCheck_Click()
{
    auto *list = controls_.get<QComboBox>(QStringLiteral("Combo_Languages"));
    if (!list)
        return;
    const int row = list->currentIndex();
    for (int k = 0; k < kLanguageCount; ++k) {
        if (LanguageRows[k] >= 0 && LanguageRows[k] == row) {
            const auto language = static_cast<Language>(k);
            applyLanguage(language);
            emit languageChosen(language);
            return;
        }
    }
}

} // namespace i18n
