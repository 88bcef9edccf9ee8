// The viewer's files: CSV files imported into the archive, the period's
// records written as CSV files, what the chart shows as CSV, the chart
// saved as a picture (PNG or SVG).
#include "gui/lpviewer/load_profile_viewer.h"

#include "archive/archive_thread.h"
#include "archive/period_export.h"
#include "gui/lpviewer/load_profile_chart.h"
#include "gui/ui/messages.h"
#include "i18n/language_texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPainter>
#include <QSvgGenerator>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace lpviewer {

void LoadProfileViewer::importFiles()
{
    const QStringList paths = chooseImportFiles();
    if (paths.isEmpty() || !archive_)
        return;
    struct Imported {
        archive::StoreResult total;
        int files = 0;
        QStringList failures; // each names its file and, for a malformed one, the line
        QStringList matched;  // files stored under a meter their name gives only a part of
    };
    import_->setEnabled(false);
    status_->setText(texts_.lpviewer_Importing);
    archive_->run<Imported>(
        [paths, matchedText = texts_.lpviewer_ImportMatched](archive::ArchiveStore &store) {
            Imported imported;
            for (const QString &path : paths) {
                QString error;
                // The meter and group come from the file's name.
                QString matched;
                const auto result = store.importCsv(path, std::nullopt, std::nullopt, &error, &matched);
                if (!result) {
                    imported.failures << error;
                    continue;
                }
                ++imported.files;
                if (!matched.isEmpty())
                    imported.matched << matchedText.arg(QFileInfo(path).fileName(), matched);
                imported.total += *result;
            }
            return imported;
        },
        [this](Imported imported) {
            import_->setEnabled(true);
            status_->setText(texts_.lpviewer_Imported.arg(imported.files)
                                 .arg(imported.total.added)
                                 .arg(imported.total.unchanged)
                                 .arg(imported.total.repeated)
                             + (imported.matched.isEmpty() ? QString() : QLatin1Char(' ') + imported.matched.join(u' ')));
            if (!imported.failures.isEmpty())
                messages_.show(ui::MessageKind::Critical, QString(),
                               texts_.lpviewer_ImportFailed + QLatin1Char('\n') + imported.failures.join(u'\n'));

            listMeters();
            emit importEnded();
        });
}

void LoadProfileViewer::exportCsv()
{
    const archive::MeterSummary *chosen = chosenGroup();
    if (!chosen || !archive_)
        return;
    const QString folder = chooseExportFolder();
    if (folder.isEmpty())
        return;
    struct Written {
        std::optional<QStringList> paths;
        QString error;
    };
    const QString serial = chosen->serial;
    const int group = chosen->group;
    const archive::TimeRange range = period_.range();
    archive_->run<Written>(
        [=](archive::ArchiveStore &store) {
            Written written;
            written.paths = store.exportCsv(serial, group, range, folder, &written.error);
            return written;
        },
        [this](Written written) {
            if (!written.paths)
                messages_.show(ui::MessageKind::Critical, QString(),
                               texts_.lpviewer_ExportFailed + QLatin1Char('\n') + written.error);
            else if (written.paths->isEmpty())
                status_->setText(texts_.lpviewer_NoRecords);
            else
                status_->setText(texts_.lpviewer_Exported.arg(written.paths->join(QStringLiteral(", "))));
        });
}

void LoadProfileViewer::savePicture()
{
    const QString path = choosePicturePath();
    if (path.isEmpty())
        return;
    if (!chart_->grab().save(path, "PNG"))
        messages_.show(ui::MessageKind::Critical, QString(), texts_.lpviewer_PictureFailed + QLatin1Char('\n') + path);
    else
        status_->setText(texts_.lpviewer_Exported.arg(path));
}

void LoadProfileViewer::saveSvg()
{
    const QString path = chooseSvgPath();
    if (path.isEmpty())
        return;
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(chart_->size());
    svg.setViewBox(chart_->rect());
    svg.setTitle(windowTitle());
    svg.setDescription(periodText_->text());
    QPainter painter;
    // A file that cannot be made leaves the painter inactive.
    if (!painter.begin(&svg)) {
        messages_.show(ui::MessageKind::Critical, QString(), texts_.lpviewer_PictureFailed + QLatin1Char('\n') + path);
        return;
    }
    chart_->render(&painter);
    painter.end();
    status_->setText(texts_.lpviewer_Exported.arg(path));
}

void LoadProfileViewer::exportSeries()
{
    if (shown_.codes.empty())
        return;
    const QString path = chooseSeriesPath();
    if (path.isEmpty())
        return;
    const QByteArray text = duration_->isChecked()
                                ? archive::durationCsv(shown_.records, shown_.codes, shown_.coverage)
                                : archive::periodCsv(shown_.records, shown_.quality, shown_.codes,
                                                     QDateTime::currentDateTime());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        messages_.show(ui::MessageKind::Critical, QString(),
                       texts_.lpviewer_ExportFailed + QLatin1Char('\n') + path + QStringLiteral(": ") + file.errorString());
        return;
    }
    status_->setText(texts_.lpviewer_Exported.arg(path));
}

} // namespace lpviewer
