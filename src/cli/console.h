#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The tool's console: standard output, errors with their exit codes, and a
// subcommand's options.
namespace cli {

inline constexpr int kOk = 0, kFailed = 1, kUsage = 2;

void out(const QString &text);
// "ampwright-cli: text" on standard error; returns code.
int fail(const QString &text, int code);
// A usage error: fail(text + " (see --help)", kUsage).
int usage(const QString &text);
// Parses a subcommand's arguments (the program name first); false, with the
// exit code in *code, after reporting a usage error.
bool parse(QCommandLineParser &parser, const QStringList &args, int *code);

} // namespace cli
