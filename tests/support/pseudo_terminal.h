#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace testsupport {

// A pseudo-terminal pair owned by a test: the program opens the device
// (the slave side); the test holds the master side open for its lifetime.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            close();
            return;
        }
        const char *name = ptsname(master_);
        device_ = name ? QString::fromLocal8Bit(name) : QString();
    }
    ~PseudoTerminal() { close(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return master_ >= 0 && !device_.isEmpty(); }
    QString device() const { return device_; }

    // Makes linkPath a symbolic link to the device (as a COM<n> entry).
    bool linkAs(const QString &linkPath) const
    {
        QFile::remove(linkPath);
        return QFile::link(device_, linkPath);
    }

    // Sends bytes to the program's side, as a meter would; false when not all went out.
    bool send(const QByteArray &bytes) const
    {
        return master_ >= 0 && ::write(master_, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    }

private:
    void close()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    int master_ = -1;
    QString device_;
};

} // namespace testsupport
