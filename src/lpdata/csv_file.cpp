#include "lpdata/csv_file.h"

#include "lpdata/channel_codes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <algorithm>

namespace lpdata {

namespace {

const QLatin1String kFolderName("LP Data");
const QLatin1String kLineEnd("\r\n");
// Names tried when other downloads keep taking the free one first.
constexpr int kCreateTries = 100;

bool unsafeInFileName(QChar c)
{
    static const QLatin1String reserved("/\\:*?\"<>|");
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F) || !c.isPrint()
           || reserved.contains(c);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString fileError(const QString &what, const QFile &file)
{
    return QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(file.fileName()),
                                         file.errorString());
}

// Writes the bytes and closes the file; false with the reason when any of it
// did not reach the disk.
bool writeAndClose(QFile &file, const QByteArray &bytes, QString *error)
{
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    if (!written) {
        setError(error, fileError(QStringLiteral("Cannot write"), file));
        file.close();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        setError(error, fileError(QStringLiteral("Cannot write"), file));
        return false;
    }
    return true;
}

// A new file under a free name in the folder, holding the header; its path.
std::optional<QString> createIn(const QString &folder, const QString &baseName,
                                const QByteArray &header, QString *error)
{
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
        return std::nullopt;
    }
    // A download running beside this one may take the free name first; the
    // file is then made under the next free name, never over the other.
    QFile file;
    for (int tries = 0;; ++tries) {
        file.setFileName(freeCsvPath(folder, baseName));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!file.exists() || tries == kCreateTries) {
            setError(error, fileError(QStringLiteral("Cannot create"), file));
            return std::nullopt;
        }
    }
    if (!writeAndClose(file, header, error)) {
        file.remove();
        return std::nullopt;
    }
    return file.fileName();
}

} // namespace

QString csvSerialPart(const QString &meterSerialText)
{
    const QString part = meterSerialText.mid(8, 8);
    if (part.isEmpty())
        return QStringLiteral("test");

    const auto dot = [&part](qsizetype i) { return i >= 0 && i < part.size() && part[i] == u'.'; };
    QString safe;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const bool dotToReplace = dot(i) && (i == 0 || dot(i - 1) || dot(i + 1));
        safe += unsafeInFileName(part[i]) || dotToReplace ? QChar(u'_') : part[i];
    }
    return safe;
}

QString csvBaseName(const QString &meterSerialText, const QDate &today, int groupNumber)
{
    return csvSerialPart(meterSerialText) + QLatin1Char('_') + today.toString(u"yyyyMMdd")
           + QLatin1String("_Group") + QString::number(groupNumber);
}

QString freeCsvPath(const QString &folder, const QString &baseName)
{
    const QString stem = folder + QLatin1Char('/') + baseName;
    QString path = stem + QLatin1String(".csv");
    for (long long n = 1; QFileInfo::exists(path); ++n)
        path = stem + QLatin1Char('_') + QString::number(n) + QLatin1String(".csv");
    return path;
}

QString csvDateLine(const QDateTime &now)
{
    const QLocale locale;
    return QLatin1String("Date : ") + locale.toString(now.date(), QLocale::ShortFormat)
           + QLatin1String("  ") + locale.toString(now.time(), QLocale::ShortFormat);
}

QString csvColumnLine(std::span<const int> channelCodes)
{
    QStringList names;
    for (const int code : channelCodes)
        names << LPDataName(code);
    return QLatin1String("Date,Time,") + names.join(QLatin1Char(','));
}

DataFolders dataFolders(const QString &programDir, const QString &folderName)
{
    // Folders that the package manager or the installer own. Whoever may
    // write there (root, an administrator) must not leave data beside the
    // program: the package manager neither expects nor removes it.
#ifdef Q_OS_WIN
    QStringList systemFolders;
    for (const char *variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
        const QString folder = qEnvironmentVariable(variable);
        if (!folder.isEmpty())
            systemFolders << QDir::cleanPath(QDir::fromNativeSeparators(folder)) + QLatin1Char('/');
    }
    const Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
    QStringList systemFolders{QStringLiteral("/usr/"), QStringLiteral("/opt/"), QStringLiteral("/bin/"),
                              QStringLiteral("/sbin/"), QStringLiteral("/lib/"), QStringLiteral("/lib64/")};
#ifdef Q_OS_MACOS
    systemFolders << QStringLiteral("/Applications/") << QStringLiteral("/Library/")
                  << QStringLiteral("/System/");
#endif
    const Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif
    // Through links (/usr/bin/ampwright) to where the program really lies.
    QString dir = QFileInfo(programDir).canonicalFilePath();
    if (dir.isEmpty())
        dir = QDir::cleanPath(QDir(programDir).absolutePath());
    dir += QLatin1Char('/');
    const bool systemFolder =
        std::any_of(systemFolders.cbegin(), systemFolders.cend(),
                    [&](const QString &folder) { return dir.startsWith(folder, pathCase); });

    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString userFolder = documents.isEmpty() ? QString() : documents + QLatin1Char('/') + folderName;
    if (systemFolder && !userFolder.isEmpty())
        return {userFolder, QString()};
    return {programDir + QLatin1Char('/') + folderName, userFolder};
}

std::optional<CreatedFile> createDataFile(const DataFolders &folders, const QString &baseName,
                                          const QByteArray &header, QString *error)
{
    QString preferredError;
    if (auto path = createIn(folders.preferred, baseName, header, &preferredError))
        return CreatedFile{*path, false};
    if (folders.fallback.isEmpty()) {
        setError(error, preferredError);
        return std::nullopt;
    }
    QString fallbackError;
    if (auto path = createIn(folders.fallback, baseName, header, &fallbackError))
        return CreatedFile{*path, true};
    setError(error, preferredError + QLatin1String("; ") + fallbackError);
    return std::nullopt;
}

LoadProfileCsv::Folders LoadProfileCsv::defaultFolders(const QString &programDir)
{
    return dataFolders(programDir, kFolderName);
}

QByteArray csvHeader(const QDateTime &now, std::span<const int> channelCodes, const QString &lastColumn)
{
    // Names are ASCII; the locale's date text is written as far as Latin-1 holds it.
    const QString columns = csvColumnLine(channelCodes) + (lastColumn.isEmpty() ? QString() : u',' + lastColumn);
    return (csvDateLine(now) + kLineEnd + columns + kLineEnd).toLatin1();
}

QByteArray csvRowBytes(const QStringList &rows)
{
    QByteArray bytes;
    for (const QString &row : rows)
        bytes += (row + kLineEnd).toLatin1();
    return bytes;
}

std::optional<LoadProfileCsv> LoadProfileCsv::create(const Folders &folders, const QString &baseName,
                                                     const QDateTime &now,
                                                     std::span<const int> channelCodes,
                                                     QString *error, const QString &lastColumn)
{
    const auto file = createDataFile(folders, baseName, csvHeader(now, channelCodes, lastColumn), error);
    if (!file)
        return std::nullopt;
    return LoadProfileCsv(file->path, file->inFallback);
}

bool LoadProfileCsv::appendRows(const QStringList &rows, QString *error) const
{
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        setError(error, fileError(QStringLiteral("Cannot open"), file));
        return false;
    }
    return writeAndClose(file, csvRowBytes(rows), error);
}

} // namespace lpdata
