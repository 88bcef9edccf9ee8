#pragma once

#include "archive/download_archiver.h"
#include "loadprofile/download_origin.h"
#include "loadprofile/records.h"

#include <QObject>

#include <vector>

class ControlMap;
class DateRangePanel;
class DownloadPanel;
class DownloadState;
class LinkState;
class Messages;
class PollCycle;
namespace i18n {
struct LanguageTexts;
}

// The window's downloads and the archive: every block a download reads is
// stored (a failing archive is told once, the CSV file goes on), and
// "new records only" (cmdLPNew) downloads the chosen group's records newer
// than the newest one the archive holds of this meter.
class ArchiveLink : public QObject {
    Q_OBJECT
public:
    // archivePath: the archive (a file or a database's address); empty for none.
    ArchiveLink(const QString &archivePath, LinkState &link, PollCycle &poll, DownloadState &download,
                DownloadPanel &downloads, DateRangePanel &dateRange, const i18n::LanguageTexts &texts,
                Messages &messages, const ControlMap &controls, QObject *parent = nullptr);

    void cmdLPNew_Click();
    archive::DownloadArchiver &archiver() { return archiver_; }
    // The user chose another archive: the next block goes there.
    void setArchive(const QString &archivePath) { archiver_ = archive::DownloadArchiver(archivePath); }

private:
    void blockRead(const loadprofile::DownloadOrigin &origin, const std::vector<loadprofile::Record> &records);
    void tellNote();

    archive::DownloadArchiver archiver_;
    LinkState &link_;
    PollCycle &poll_;
    DownloadState &download_;
    DownloadPanel &downloads_;
    DateRangePanel &dateRange_;
    const i18n::LanguageTexts &texts_;
    Messages &messages_;
    const ControlMap &controls_;
};
