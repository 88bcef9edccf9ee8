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
#include <utility>

ArchiveLink::ArchiveLink(const QString &archivePath, LinkState &link, PollCycle &poll, DownloadState &download,
                         DownloadPanel &downloads, DateRangePanel &dateRange, const i18n::LanguageTexts &texts,
                         Messages &messages, const ControlMap &controls, QObject *parent)
    : QObject(parent), link_(link), poll_(poll), download_(download), downloads_(downloads), dateRange_(dateRange),
      texts_(texts), messages_(messages), controls_(controls)
{
    setArchive(archivePath);
    connect(&downloads_, &DownloadPanel::downloadStarted, this, [this] {
        failureTold_ = false;
        blocks_ = std::make_shared<archive::DownloadBlocks>();
    });
    connect(&downloads_, &DownloadPanel::blockRead, this, &ArchiveLink::blockRead);
    onClicked(controls_, "cmdLPNew", this, &ArchiveLink::cmdLPNew_Click);
}

ArchiveLink::~ArchiveLink() = default;

QString ArchiveLink::archivePath() const
{
    return archive_ ? archive_->path() : QString();
}

void ArchiveLink::setArchive(const QString &archivePath)
{
    // The same archive chosen again keeps its thread and the blocks it has yet to store.
    if (archive_ && archive_->path() == archivePath)
        return;
    archive_.reset();
    pendingJobs_ = 0;
    newAsked_ = false;
    if (archivePath.isEmpty())
        return;
    archive_ = std::make_unique<archive::ArchiveThread>(archivePath);
    connect(archive_.get(), &archive::ArchiveThread::noted, this, [this](const QString &note) {
        messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPArchiveMoved + QLatin1Char('\n') + note);
    });
    // A job whose archive could not be opened did not run: it is over.
    connect(archive_.get(), &archive::ArchiveThread::openFailed, this, [this](const QString &error) {
        pendingJobs_ = std::max(0, pendingJobs_ - 1);
        if (std::exchange(newAsked_, false)) {
            messages_.show(MessageKind::Critical, texts_.strMsgBoxerr,
                           texts_.rightdown_LPArchiveError + QLatin1Char('\n') + error);
            return;
        }
        tellFailure(error);
    });
}

void ArchiveLink::tellFailure(const QString &error)
{
    if (std::exchange(failureTold_, true))
        return;
    messages_.show(MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPArchiveError + QLatin1Char('\n') + error);
}

void ArchiveLink::blockRead(const loadprofile::DownloadOrigin &origin, const std::vector<loadprofile::Record> &records)
{
    if (!archive_)
        return;
    if (!blocks_)
        blocks_ = std::make_shared<archive::DownloadBlocks>();
    ++pendingJobs_;
    archive_->runToEnd<QString>(
        [serial = origin.serial, group = origin.group + 1, codes = origin.codes, records,
         blocks = blocks_](archive::ArchiveStore *store, const QString &openError) {
            return blocks->store(store, openError, serial, group, codes, records).tell.value_or(QString());
        },
        [this](QString error) {
            pendingJobs_ = std::max(0, pendingJobs_ - 1);
            if (!error.isEmpty())
                tellFailure(error);
        });
}

void ArchiveLink::cmdLPNew_Click()
{
    const polling::Reading &reading = poll_.reading();
    if (!link_.LinkOnline() || !reading.identity || downloads_.searchPending() || newAsked_ || !archive_)
        return;
    const int g = controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel"))->currentIndex() == 1 ? 1 : 0;
    const QString serial = reading.identity->serial;
    newAsked_ = true;
    ++pendingJobs_;
    using Newest = std::pair<std::optional<QDateTime>, QString>;
    // Queued behind the blocks still being stored: it sees them.
    archive_->run<Newest>(
        [serial, g](archive::ArchiveStore &store) {
            QString error;
            const std::optional<QDateTime> newest = store.newestRecord(serial, g + 1, &error);
            return Newest{newest, error};
        },
        [this, serial, g](Newest answer) {
            pendingJobs_ = std::max(0, pendingJobs_ - 1);
            if (std::exchange(newAsked_, false))
                downloadNewerThan(g, serial, answer.first, answer.second);
        });
}

void ArchiveLink::downloadNewerThan(int g, const QString &serial, const std::optional<QDateTime> &newest,
                                    const QString &error)
{
    if (!newest) {
        messages_.show(MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPArchiveError + QLatin1Char('\n') + error);
        return;
    }
    // The meter may have gone offline or been replaced while the archive answered.
    const polling::Reading &reading = poll_.reading();
    if (!link_.LinkOnline() || !reading.identity || reading.identity->serial != serial || downloads_.searchPending())
        return;
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
