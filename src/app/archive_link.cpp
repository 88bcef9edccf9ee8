#include "app/archive_link.h"

#include "i18n/language_texts.h"
#include "link/link_state.h"
#include "loadprofile/date_range_panel.h"
#include "loadprofile/date_serial.h"
#include "loadprofile/download_panel.h"
#include "loadprofile/download_state.h"
#include "polling/poll_cycle.h"
#include "ui/control_map.h"
#include "ui/messages.h"
#include "ui/named_controls.h"

#include <QComboBox>
#include <QLocale>

#include <limits>

ArchiveLink::ArchiveLink(const QString &archivePath, LinkState &link, PollCycle &poll, DownloadState &download,
                         DownloadPanel &downloads, DateRangePanel &dateRange, const i18n::LanguageTexts &texts,
                         Messages &messages, const ControlMap &controls, QObject *parent)
    : QObject(parent), archiver_(archivePath), link_(link), poll_(poll), download_(download),
      downloads_(downloads), dateRange_(dateRange), texts_(texts), messages_(messages), controls_(controls)
{
    connect(&downloads_, &DownloadPanel::downloadStarted, this, [this] { archiver_.beginDownload(); });
    connect(&downloads_, &DownloadPanel::blockRead, this, &ArchiveLink::blockRead);
    onClicked(controls_, "cmdLPNew", this, &ArchiveLink::cmdLPNew_Click);
}

void ArchiveLink::tellNote()
{
    const QString note = archiver_.takeNote();
    if (!note.isEmpty())
        messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPArchiveMoved + QLatin1Char('\n') + note);
}

void ArchiveLink::blockRead(const loadprofile::DownloadOrigin &origin, const std::vector<loadprofile::Record> &records)
{
    const std::optional<QString> failure =
        archiver_.storeBlock(origin.serial, origin.group + 1, origin.codes, records);
    tellNote();
    if (failure)
        messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPArchiveError + QLatin1Char('\n') + *failure);
}

void ArchiveLink::cmdLPNew_Click()
{
    const polling::Reading &reading = poll_.reading();
    if (!link_.LinkOnline() || !reading.identity || downloads_.searchPending())
        return;
    const int g = controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel"))->currentIndex() == 1 ? 1 : 0;
    QString error;
    const std::optional<QDateTime> newest = archiver_.newestRecord(reading.identity->serial, g + 1, &error);
    tellNote();
    if (!newest) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPArchiveError + QLatin1Char('\n') + error);
        return;
    }
    const long long valid = reading.lpGroups[std::size_t(g)].validRecords.value_or(0);
    if (!newest->isValid()) {
        // Nothing archived of this meter's group: all its records.
        if (valid < 1) {
            messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPNothingNew.arg(QStringLiteral("-")));
            return;
        }
        auto *start = controls_.require<QComboBox>(QStringLiteral("Combo_LP_Start_No"));
        auto *stop = controls_.require<QComboBox>(QStringLiteral("Combo_LP_Stop_No"));
        start->setCurrentIndex(0);
        stop->setCurrentIndex(stop->count() - 1);
        downloads_.Command8_Click();
        return;
    }
    const QDate d = newest->date();
    const QTime t = newest->time();
    const double archived = loadprofile::dateSerial(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    // The meter's newest record (read by the poll, to the minute) is no later.
    const double meterNewest = download_.LPLastDataTime[std::size_t(g)];
    if (valid < 1 || (meterNewest != 0 && meterNewest <= archived)) {
        messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW,
                       texts_.rightdown_LPNothingNew.arg(QLocale().toString(*newest, QLocale::ShortFormat)));
        return;
    }
    constexpr double kOneSecond = 1.0 / 86400;
    dateRange_.requestSearch(g, archived + kOneSecond, std::numeric_limits<double>::max());
}
