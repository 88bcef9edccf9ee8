#pragma once

#include "archive/archive_thread.h"
#include "archive/download_archiver.h"
#include "loadprofile/block_download.h"
#include "loadprofile/download_origin.h"
#include "meter/lp_group.h"
#include "lpdata/records.h"

#include <QDateTime>
#include <QObject>

#include <memory>
#include <optional>
#include <vector>

namespace ui {
class ControlMap;
}
namespace loadprofile {
class DateRangePanel;
}
namespace ui {
class Messages;
}
namespace i18n {
struct LanguageTexts;
}
namespace loadprofile {
class BlockDownload;
class DownloadPace;
}
namespace session {
class MeterSession;
}

namespace app {

// The window's downloads and the archive: every block a download reads is
// stored (a failing archive is told once per download, the CSV file goes
// on), and "new records only" (cmdLPNew) downloads the chosen group's
// records after the last one the archive holds of this meter, and says how
// many of them repeat earlier stamps. The
// database work runs on the archive's own thread, in the order asked, so
// that a slow or unreachable server never holds the window.
class ArchiveLink : public QObject {
    Q_OBJECT
public:
    // archivePath: the archive (a file or a database's address); empty for none.
    ArchiveLink(const QString &archivePath, session::MeterSession &session, loadprofile::DownloadPace &pace,
                loadprofile::DateRangePanel &dateRange, const i18n::LanguageTexts &texts, ui::Messages &messages,
                const ui::ControlMap &controls, QObject *parent = nullptr);
    ~ArchiveLink() override;

    void cmdLPNew_Click();
    // The archive the next block goes to.
    QString archivePath() const;
    // The user chose another archive: the next block goes there.
    void setArchive(const QString &archivePath);
    // Every block handed over so far has been stored, or its failure told.
    bool idle() const { return pendingJobs_ == 0; }

private:
    void blockRead(const loadprofile::DownloadOrigin &origin, long long firstRecord,
                   const std::vector<lpdata::Record> &records);
    // A "new only" download that stored records of repeated stamps says how many.
    void downloadEnded(const loadprofile::DownloadEnd &end);
    void tellFailure(const QString &error);
    // The rest of cmdLPNew once the archive's newest record of the group is known.
    void downloadNewerThan(meter::LpGroup group, const QString &serial, const std::optional<lpdata::ArchivedEnd> &archived,
                           const QString &error);
    bool downloadRequestRunning() const;

    std::unique_ptr<archive::ArchiveThread> archive_;
    // The running download's blocks, used on the archive's thread only.
    std::shared_ptr<archive::DownloadBlocks> blocks_;
    int pendingJobs_ = 0;
    bool failureTold_ = false;
    bool newAsked_ = false; // cmdLPNew waits for the archive's answer
    bool newOnlyRunning_ = false;
    session::MeterSession &session_;
    loadprofile::DownloadPace &pace_;
    loadprofile::BlockDownload &download_;
    loadprofile::DateRangePanel &dateRange_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    const ui::ControlMap &controls_;
};

} // namespace app
