#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

// What a test reads from MqttSubscriber's "R TOPIC PAYLOAD" lines (R: 1
// retained, 0 not), for the tests of serve.
namespace testsupport {

// The newest payload of topic.
inline QString newest(const QStringList &messages, const QString &topic, bool *retained = nullptr)
{
    for (qsizetype i = messages.size() - 1; i >= 0; --i)
        if (messages[i].section(u' ', 1, 1) == topic) {
            if (retained)
                *retained = messages[i].startsWith(u'1');
            return messages[i].section(u' ', 2);
        }
    return {};
}

inline int countOf(const QStringList &messages, const QString &topic)
{
    return int(std::count_if(messages.begin(), messages.end(),
                             [&](const QString &m) { return m.section(u' ', 1, 1) == topic; }));
}

inline QJsonObject json(const QString &text) { return QJsonDocument::fromJson(text.toUtf8()).object(); }

// The meter's states, oldest first.
inline QList<QJsonObject> statesOf(const QStringList &messages, const QString &serial)
{
    QList<QJsonObject> states;
    for (const QString &m : messages)
        if (m.section(u' ', 1, 1) == QStringLiteral("ampwright/%1/state").arg(serial))
            states << json(m.section(u' ', 2));
    return states;
}

} // namespace testsupport
