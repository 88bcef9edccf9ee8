#include "rtu_port.h"

#include "console_output.h"
#include "monotonic_clock.h"
#include "wire_codec.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace metersim {

RtuPort::RtuPort(MeterService &service, QObject *parent)
    : QObject(parent),
      service_(service),
      pacer_([this](const QByteArray &bytes) { write(bytes); }, [] {}, service.sharedLine(), this)
{
}

RtuPort::~RtuPort()
{
    if (!link_.isEmpty() && QFileInfo(link_).symLinkTarget() == QFileInfo(device_).absoluteFilePath())
        QFile::remove(link_);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool RtuPort::open(const QString &linkPath, QString *error)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        *error = QStringLiteral("cannot name the pseudo-terminal");
        return false;
    }
    device_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(device_, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }

    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.isSymLink())
            QFile::remove(linkPath);
        else if (existing.exists()) {
            *error = QStringLiteral("%1 exists and is not a link").arg(linkPath);
            return false;
        }
        if (!QFile::link(device_, linkPath)) {
            *error = QStringLiteral("cannot create the link %1").arg(linkPath);
            return false;
        }
        link_ = linkPath;
    }

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &RtuPort::onReadable);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &RtuPort::onWritable);
    return true;
}

void RtuPort::onReadable()
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            framer_.append(QByteArrayView(chunk, n), monotonicNs());
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            pauseReading();
        break;
    }

    while (auto frame = framer_.takeFrame()) {
        const auto answer = service_.handle(frame->address, frame->pdu);
        if (!answer || answer->faults.drop || answer->faults.close || answer->pdu.isEmpty())
            continue;
        QByteArray bytes;
        bytes.append(static_cast<char>(answer->unit));
        bytes.append(answer->pdu);
        appendCrc(bytes);
        if (answer->faults.corruptCrc) {
            bytes[bytes.size() - 2] = static_cast<char>(~bytes[bytes.size() - 2]);
            bytes[bytes.size() - 1] = static_cast<char>(~bytes[bytes.size() - 1]);
        }
        const qint64 wireEnd = frame->firstByteNs + frame->length * answer->byteTimeNs;
        pacer_.send(applyFrameFaults(bytes, answer->faults), wireEnd, answer->faults,
                    answer->byteTimeNs);
    }
}

// A read error other than "nothing there" (a hang-up while no client holds the
// slave open): try again a little later instead of spinning on the notifier.
void RtuPort::pauseReading()
{
    readNotifier_->setEnabled(false);
    QTimer::singleShot(100, this, [this] { readNotifier_->setEnabled(true); });
}

void RtuPort::write(const QByteArray &bytes)
{
    // A client that never reads would make this grow without end; a real
    // line would have lost those bytes as well.
    constexpr qsizetype kMaxOutgoing = 64 * 1024;
    if (outgoing_.size() + bytes.size() > kMaxOutgoing)
        outgoing_.clear();
    outgoing_.append(bytes);
    onWritable();
}

void RtuPort::onWritable()
{
    while (!outgoing_.isEmpty()) {
        const ssize_t n = ::write(master_, outgoing_.constData(), static_cast<size_t>(outgoing_.size()));
        if (n > 0) {
            outgoing_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            printError(QStringLiteral("write to the pseudo-terminal failed: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno))));
            outgoing_.clear();
        }
        break;
    }
    writeNotifier_->setEnabled(!outgoing_.isEmpty());
}

} // namespace metersim
