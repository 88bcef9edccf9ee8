#include "cli/serve.h"

#include "cli/console.h"
#include "gateway/gateway_config.h"
#include "gateway/gateway_service.h"

#include <QCommandLineParser>

namespace cli {

int serve(const QStringList &args)
{
    QCommandLineParser p;
    for (const QString &key : gateway::gatewaySettingKeys())
        p.addOption({key, QStringLiteral("See the configuration file's key %1.").arg(key), QStringLiteral("VALUE")});
    p.addOptions({{QStringLiteral("config"), QStringLiteral("The gateway's settings."), QStringLiteral("FILE")},
                  {QStringLiteral("log"), QStringLiteral("Every frame and what became of it, on standard error.")}});
    int code = kOk;
    if (!parse(p, args, &code))
        return code;

    // Flags over the file's settings; every error names where it is.
    gateway::GatewaySettings flags;
    // Each time an option is given (--listen may be given for several lines).
    for (const QString &key : gateway::gatewaySettingKeys())
        for (const QString &value : p.values(key))
            if (const auto wrong = gateway::applyGatewaySetting(key, value, flags))
                return usage(wrong->text());
    gateway::GatewaySettings fromFile;
    if (p.isSet(QStringLiteral("config"))) {
        gateway::ConfigError wrong;
        const auto read = gateway::readGatewayConfig(p.value(QStringLiteral("config")), &wrong);
        if (!read)
            return fail(wrong.text(), kUsage);
        fromFile = *read;
    }
    const gateway::GatewaySettings settings = gateway::mergeSettings(fromFile, flags);
    if (const QString wrong = gateway::checkGatewaySettings(settings); !wrong.isEmpty())
        return usage(wrong);

    gateway::GatewayService service(settings, p.isSet(QStringLiteral("log")));
    if (const auto wrong = service.setUp())
        return wrong->usage ? fail(wrong->text, kUsage) : fail(wrong->text, kFailed);
    return service.run();
}

} // namespace cli
