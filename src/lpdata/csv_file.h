#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <utility>

// The CSV file a load-profile download writes: its name, its two header lines
// and the blocks of rows appended to it; and the folder and file-name rules
// that every data file the program writes follows.
namespace lpdata {

// The meter's part of a file name: 8 characters of the serial number text
// from the 9th on, "test" when there are none. Characters that cannot stand
// in a file name (path separators, ":*?\"<>|", control and other unprintable
// characters), every dot of a ".." run and a leading dot become "_", so the
// serial number shown by a meter can never point outside the folder.
QString csvSerialPart(const QString &meterSerialText);

// serial part + "_" + yyyyMMdd + "_Group" + group number (1 or 2).
QString csvBaseName(const QString &meterSerialText, const QDate &today, int groupNumber);

// folder/base.csv, or folder/base_n.csv with the first n = 1, 2, ... whose
// file does not exist yet.
QString freeCsvPath(const QString &folder, const QString &baseName);

// Where the program writes data files of one kind.
struct DataFolders {
    QString preferred; // where files go first
    QString fallback;  // where they go when preferred cannot be written; empty for none
};

// The folder folderName ("LP Data", "Trend Data") in the program's folder,
// and in the user's documents folder when the program's folder cannot be
// written. A program installed in a system folder (under /usr, /opt, /bin,
// /sbin, /lib, /lib64; Program Files or the Windows folder; /Applications,
// /Library or /System on macOS) writes to the user's documents folder only,
// whoever runs it, so that nothing lands in a folder the package manager owns.
DataFolders dataFolders(const QString &programDir, const QString &folderName);

struct CreatedFile {
    QString path;
    bool inFallback = false; // the window tells the user where the file went
};

// Creates the folder when missing, then a new file under a free name
// (freeCsvPath) holding header. Falls back to the second folder when the
// first folder or the file in it cannot be created or written. Empty on
// failure, with the paths tried and the reasons in error.
std::optional<CreatedFile> createDataFile(const DataFolders &folders, const QString &baseName,
                                          const QByteArray &header, QString *error);

// Line 1: "Date : " + the date and time of now as the locale's short texts,
// two spaces between them.
QString csvDateLine(const QDateTime &now);

// Line 2: "Date,Time," + the names of the channel codes joined by ",".
QString csvColumnLine(std::span<const int> channelCodes);

// The two header lines as the file holds them (a column after the channels'
// when lastColumn is not empty).
QByteArray csvHeader(const QDateTime &now, std::span<const int> channelCodes, const QString &lastColumn = {});
// Rows as the file holds them, each ended by CR LF.
QByteArray csvRowBytes(const QStringList &rows);

// The file of one download. It is closed between blocks, so the rows of
// every completed block are on disk whatever happens later.
class LoadProfileCsv {
public:
    using Folders = DataFolders;

    // "LP Data" by the rules of dataFolders.
    static Folders defaultFolders(const QString &programDir);

    // A new file (createDataFile) holding the two header lines; a column
    // after the channels' when lastColumn is not empty.
    static std::optional<LoadProfileCsv> create(const Folders &folders, const QString &baseName,
                                                const QDateTime &now,
                                                std::span<const int> channelCodes,
                                                QString *error, const QString &lastColumn = {});

    // Appends the rows, each ended by CR LF, and closes the file again. A
    // file that has disappeared is created anew, without header lines.
    // False, with the path and the reason in error, when that fails.
    bool appendRows(const QStringList &rows, QString *error) const;

    QString path() const { return path_; }
    // The file lies in the fallback folder: the window tells the user where.
    bool inFallbackFolder() const { return inFallback_; }

private:
    LoadProfileCsv(QString path, bool inFallback) : path_(std::move(path)), inFallback_(inFallback) {}

    QString path_;
    bool inFallback_ = false;
};

} // namespace lpdata
