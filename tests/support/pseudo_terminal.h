#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

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

// Serial port number 2 leading to a pseudo-terminal: a temporary folder of
// COM<n> links that AMPWRIGHT_COM_DIR names for the program, holding COM2
// only, so that every other number leads nowhere.
class PseudoTerminalPort {
public:
    PseudoTerminalPort()
    {
        qputenv("AMPWRIGHT_COM_DIR", dir_.path().toLocal8Bit());
        valid_ = dir_.isValid() && terminal_->isValid() && terminal_->linkAs(linkPath());
    }

    bool isValid() const { return valid_; }
    QString linkPath() const { return dir_.filePath(QStringLiteral("COM2")); }
    // Closes the terminal's other end, as when an adapter is pulled out.
    void closeTerminal() { terminal_.reset(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<PseudoTerminal> terminal_ = std::make_unique<PseudoTerminal>();
    bool valid_ = false;
};

} // namespace testsupport
