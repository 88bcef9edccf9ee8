#pragma once

#include "test_paths.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace testsupport {

// The gateway as the tests run it: serial port numbers stand for the
// entries of comDir (AMPWRIGHT_COM_DIR), its standard error is shown as it
// comes and kept in log, which must outlive the process.
inline void startServe(QProcess &gateway, const QString &comDir, const QStringList &arguments, QString &log)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AMPWRIGHT_COM_DIR"), comDir);
    gateway.setProcessEnvironment(environment);
    QObject::connect(&gateway, &QProcess::readyReadStandardError, &gateway, [&gateway, &log] {
        const QByteArray bytes = gateway.readAllStandardError();
        std::fputs(bytes.constData(), stderr);
        log += QString::fromLocal8Bit(bytes);
    });
    gateway.start(cliProgram(), arguments);
}

// A file named name in dir holding text; its path.
inline QString writeTextFile(const QDir &dir, const QString &name, const QString &text)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
    return file.fileName();
}

} // namespace testsupport
