#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

// The tool's side of the load-profile archive: which archive a command
// uses, and the commands that list, export and import it.
namespace cli {

// --store ARCHIVE (sqlite:PATH, a plain path, or postgresql://USER@HOST[:PORT]/DB)
// and --no-store.
void addStoreOptions(QCommandLineParser &parser);
// The archive the options choose: the user's archive (the window's choice,
// archive/archive_setting.h) by default, empty
// for --no-store. Nothing, with the reason, for a store this tool cannot use.
std::optional<QString> chosenArchive(const QCommandLineParser &parser, QString *error);

// archive list | export --serial S --group G [--since ..] [--until ..] [--out DIR]
//         | import FILE... [--serial S] [--group G]
// args: the program name, then the subcommand and its options.
int archiveCommand(const QStringList &args);

} // namespace cli
