#include "gui/app/archive_link.h"

#include "gui/loadprofile/date_range_panel.h"
#include "gui/loadprofile/download_pace.h"
#include "gui/ui/control_map.h"
#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "session/meter_session.h"

#include <QComboBox>

#include <utility>

namespace app {

ArchiveLink::ArchiveLink(const QString &archivePath, session::MeterSession &session,
                         loadprofile::DownloadPace &pace, loadprofile::DateRangePanel &dateRange,
                         const i18n::LanguageTexts &texts, ui::Messages &messages, const ui::ControlMap &controls,
                         QObject *parent)
    : QObject(parent), session_(session), pace_(pace), download_(pace.download()), dateRange_(dateRange),
      texts_(texts), messages_(messages), controls_(controls)
{
    setArchive(archivePath);
    connect(&download_, &loadprofile::BlockDownload::started, this, [this] {
        failureTold_ = false;
        blocks_ = std::make_shared<archive::DownloadBlocks>();
    });
    connect(&download_, &loadprofile::BlockDownload::blockWritten, this, &ArchiveLink::blockRead);
    connect(&download_, &loadprofile::BlockDownload::ended, this, &ArchiveLink::downloadEnded);
    ui::onClicked(controls_, "cmdLPNew", this, &ArchiveLink::cmdLPNew_Click);
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
        messages_.show(ui::MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPArchiveMoved + QLatin1Char('\n') + note);
    });
    // A job whose archive could not be opened did not run: it is over.
    connect(archive_.get(), &archive::ArchiveThread::openFailed, this, [this](const QString &error) {
        pendingJobs_ = std::max(0, pendingJobs_ - 1);
        if (std::exchange(newAsked_, false)) {
            messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr,
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
    messages_.show(ui::MessageKind::Exclamation, texts_.strMsgBoxW, texts_.rightdown_LPArchiveError + QLatin1Char('\n') + error);
}

void ArchiveLink::blockRead(const loadprofile::DownloadOrigin &origin, long long firstRecord,
                            const std::vector<lpdata::Record> &records)
{
    if (!archive_)
        return;
    if (!blocks_)
        blocks_ = std::make_shared<archive::DownloadBlocks>();
    ++pendingJobs_;
    archive_->runToEnd<QString>(
        [block = archive::DownloadedBlock{origin.serial, origin.group.number(), origin.codes, origin.interval, firstRecord,
                                          records},
         blocks = blocks_](archive::ArchiveStore *store, const QString &openError) {
            return blocks->store(store, openError, block).tell.value_or(QString());
        },
        [this](QString error) {
            pendingJobs_ = std::max(0, pendingJobs_ - 1);
            if (!error.isEmpty())
                tellFailure(error);
        });
}

bool ArchiveLink::downloadRequestRunning() const { return pace_.requestRunning(); }

void ArchiveLink::cmdLPNew_Click()
{
    const meter::Reading &reading = session_.reading();
    if (!session_.link().LinkOnline() || !reading.identity || downloadRequestRunning() || newAsked_ || !archive_)
        return;
    // The first group while the list shows none.
    const meter::LpGroup g = meter::LpGroup::fromRow(controls_.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel"))->currentIndex())
                                 .value_or(meter::LpGroup::first());
    const QString serial = reading.identity->serial;
    newAsked_ = true;
    ++pendingJobs_;
    using Newest = std::pair<std::optional<lpdata::ArchivedEnd>, QString>;
    // Queued behind the blocks still being stored: it sees them.
    archive_->run<Newest>(
        [serial, g](archive::ArchiveStore &store) {
            QString error;
            const auto archived = store.archivedEnd(serial, g.number(), &error);
            return Newest{archived, error};
        },
        [this, serial, g](Newest answer) {
            pendingJobs_ = std::max(0, pendingJobs_ - 1);
            if (std::exchange(newAsked_, false))
                downloadNewerThan(g, serial, answer.first, answer.second);
        });
}

void ArchiveLink::downloadNewerThan(meter::LpGroup g, const QString &serial, const std::optional<lpdata::ArchivedEnd> &archived,
                                    const QString &error)
{
    if (!archived) {
        messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr, texts_.rightdown_LPArchiveError + QLatin1Char('\n') + error);
        return;
    }
    // The meter may have gone offline or been replaced while the archive answered.
    const meter::Reading &reading = session_.reading();
    if (!session_.link().LinkOnline() || !reading.identity || reading.identity->serial != serial
        || downloadRequestRunning())
        return;
    newOnlyRunning_ = true;
    dateRange_.startNewOnly(g, archived->newest.isValid() ? archived : std::nullopt);
}

void ArchiveLink::downloadEnded(const loadprofile::DownloadEnd &end)
{
    if (!std::exchange(newOnlyRunning_, false) || end.reason != loadprofile::DownloadEnd::Reason::Done || !archive_
        || !blocks_)
        return;
    // Queued behind the download's blocks: what the archive made of them all.
    archive_->run<archive::StoreResult>([blocks = blocks_](archive::ArchiveStore &) { return blocks->stored(); },
                                        [this](archive::StoreResult stored) {
                                            if (stored.repeated > 0)
                                                messages_.show(ui::MessageKind::Exclamation, texts_.strMsgBoxW,
                                                               texts_.rightdown_LPNewRepeated.arg(stored.added)
                                                                   .arg(stored.repeated));
                                        });
}

} // namespace app
