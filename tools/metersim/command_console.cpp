#include "command_console.h"

#include "console_output.h"
#include "number_text.h"
#include "register_assignment.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace metersim {

namespace {
constexpr qsizetype kMaxLine = 4096;
}

CommandConsole::CommandConsole(std::vector<MeterModel *> meters, FaultRules &rules, QObject *parent)
    : QObject(parent), meters_(std::move(meters)), rules_(rules)
{
    if (::fcntl(STDIN_FILENO, F_GETFD) < 0)
        return; // no stdin at all
    ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CommandConsole::readInput);
}

void CommandConsole::readInput()
{
    char chunk[1024];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n > 0) {
            pending_.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            notifier_->setEnabled(false); // end of input: nothing more will come
        break;
    }
    qsizetype newline = 0;
    while ((newline = pending_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLatin1(pending_.left(newline)).trimmed();
        pending_.remove(0, newline + 1);
        const QString reply = execute(line);
        if (!reply.isEmpty())
            printLine(reply);
    }
    if (pending_.size() > kMaxLine) {
        pending_.clear();
        printLine(QStringLiteral("ERR line too long"));
    }
}

QString CommandConsole::execute(const QString &line)
{
    if (line.isEmpty())
        return {};
    if (!line.startsWith(QLatin1String("unit=")))
        return executeFor(line, 0, meters_);
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const auto unit = parseNumber(line.mid(5, space < 0 ? -1 : space - 5), 1, 250);
    if (!unit || space < 0)
        return QStringLiteral("ERR expected unit=N (1 to 250) and a command");
    std::vector<MeterModel *> aimed;
    for (MeterModel *meter : meters_) {
        if (meter->unitAddress() == *unit)
            aimed.push_back(meter);
    }
    if (aimed.empty())
        return QStringLiteral("ERR no meter answers unit %1").arg(*unit);
    return executeFor(line.mid(space + 1).trimmed(), static_cast<quint8>(*unit), aimed);
}

// unit 0: the command is for every meter.
QString CommandConsole::executeFor(const QString &command, quint8 unit,
                                   const std::vector<MeterModel *> &meters)
{
    QString error;
    if (command == QLatin1String("clear-faults")) {
        if (unit)
            rules_.clearUnit(unit);
        else
            rules_.clear();
        return QStringLiteral("OK");
    }
    for (const auto &[prefix, isFloat] : {std::pair{QStringLiteral("set "), false},
                                          std::pair{QStringLiteral("setf "), true}}) {
        if (!command.startsWith(prefix))
            continue;
        const auto assignment = RegisterAssignment::parse(command.mid(prefix.size()).trimmed(), isFloat, &error);
        if (!assignment)
            return QStringLiteral("ERR ") + error;
        for (MeterModel *meter : meters) {
            if (!assignment->applyTo(*meter, &error))
                return QStringLiteral("ERR ") + error;
        }
        return QStringLiteral("OK");
    }
    if (command.startsWith(QLatin1String("add-records "))) {
        const QStringList args = command.mid(12).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto group = args.size() == 2 ? parseNumber(args[0], 1, 2) : std::nullopt;
        const auto count = args.size() == 2 ? parseNumber(args[1], 1, 65535) : std::nullopt;
        if (!group || !count)
            return QStringLiteral("ERR add-records G N: group 1 or 2, N from 1 to 65535");
        for (MeterModel *meter : meters)
            meter->addRecords(static_cast<int>(*group) - 1, static_cast<int>(*count));
        return QStringLiteral("OK");
    }
    for (const bool gap : {false, true}) {
        const QString name = gap ? QStringLiteral("lp-gap ") : QStringLiteral("lp-shift ");
        if (!command.startsWith(name))
            continue;
        const QStringList args = command.mid(name.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto group = args.size() == 2 ? parseNumber(args[0], 1, 2) : std::nullopt;
        // Minutes may be signed: parseNumber takes no sign, so the sign is ours.
        const bool back = !gap && args.size() == 2 && args[1].startsWith(QLatin1Char('-'));
        const auto amount = args.size() == 2 ? parseNumber(back ? args[1].mid(1) : args[1], 1, 527040) : std::nullopt;
        if (!group || !amount)
            return gap ? QStringLiteral("ERR lp-gap G N: group 1 or 2, N intervals from 1")
                       : QStringLiteral("ERR lp-shift G MINUTES: group 1 or 2, MINUTES not 0, negative for back");
        for (MeterModel *meter : meters) {
            const int g = static_cast<int>(*group) - 1;
            const qint64 seconds = gap ? qint64(*amount) * meter->intervalSeconds(g) : qint64(*amount) * 60;
            meter->shiftNextRecords(g, static_cast<int>(back ? -seconds : seconds));
        }
        return QStringLiteral("OK");
    }
    auto rule = FaultRule::parse(command, &error);
    if (!rule)
        return QStringLiteral("ERR ") + error;
    if (unit && rule->unit && rule->unit != unit)
        return QStringLiteral("ERR the rule names unit %1, the command unit %2").arg(rule->unit).arg(unit);
    if (unit)
        rule->unit = unit;
    rules_.add(*rule);
    return QStringLiteral("OK");
}

} // namespace metersim
