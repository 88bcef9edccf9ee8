#include "cli/console.h"

#include <QCommandLineParser>

#include <cstdio>

namespace cli {

void out(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int fail(const QString &text, int code)
{
    std::fprintf(stderr, "ampwright-cli: %s\n", text.toLocal8Bit().constData());
    return code;
}

int usage(const QString &text) { return fail(text + QStringLiteral(" (see --help)"), kUsage); }

bool parse(QCommandLineParser &parser, const QStringList &args, int *code)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(args)) {
        *code = usage(parser.errorText());
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *code = usage(QStringLiteral("unexpected \"%1\"").arg(parser.positionalArguments().first()));
        return false;
    }
    return true;
}

} // namespace cli
