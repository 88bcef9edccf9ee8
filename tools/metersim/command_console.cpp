#include "command_console.h"

#include "console_output.h"
#include "register_assignment.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace metersim {

namespace {
constexpr qsizetype kMaxLine = 4096;
}

CommandConsole::CommandConsole(MeterModel &model, FaultRules &rules, QObject *parent)
    : QObject(parent), model_(model), rules_(rules)
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
    QString error;
    if (line == QLatin1String("clear-faults")) {
        rules_.clear();
        return QStringLiteral("OK");
    }
    for (const auto &[prefix, isFloat] : {std::pair{QStringLiteral("set "), false},
                                          std::pair{QStringLiteral("setf "), true}}) {
        if (!line.startsWith(prefix))
            continue;
        const auto assignment = RegisterAssignment::parse(line.mid(prefix.size()).trimmed(), isFloat, &error);
        if (assignment && assignment->applyTo(model_, &error))
            return QStringLiteral("OK");
        return QStringLiteral("ERR ") + error;
    }
    const auto rule = FaultRule::parse(line, &error);
    if (!rule)
        return QStringLiteral("ERR ") + error;
    rules_.add(*rule);
    return QStringLiteral("OK");
}

} // namespace metersim
