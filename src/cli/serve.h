#pragma once

#include <QStringList>

namespace cli {

// `ampwright-cli serve`: polls the meters of a meters file around the clock
// and publishes them (MQTT, Prometheus metrics, the archive) until SIGTERM
// or SIGINT. args: the command line from the program's name on.
int serve(const QStringList &args);

} // namespace cli
