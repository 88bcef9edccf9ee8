#pragma once

#include "metersim_process.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <memory>
#include <vector>

// count simulated TCP meters, each a metersim of its own with moving values,
// listed one a line ("tcp=HOST:PORT") in the file listFile for `serve
// --meters`. False when one did not start.
inline bool startTcpMeters(int count, const QString &listFile, std::vector<std::unique_ptr<testsupport::MeterSim>> *sims)
{
    QFile list(listFile);
    if (!list.open(QIODevice::WriteOnly))
        return false;
    for (int m = 0; m < count; ++m) {
        auto sim = std::make_unique<testsupport::MeterSim>();
        if (!sim->start({"--noise", "1", "--seed", QString::number(m + 1)})) {
            std::fprintf(stderr, "metersim %d did not start: %s\n", m, qPrintable(sim->errorString()));
            return false;
        }
        list.write(QStringLiteral("tcp=%1:%2\n").arg(sim->tcpAddress()).arg(sim->tcpPort()).toUtf8());
        sims->push_back(std::move(sim));
    }
    return true;
}
