#pragma once

#include <QByteArray>
#include <QString>

// The gateway's topic names, in one place.
//
// A meter's serial number (16 characters from the meter, padded with blanks
// and possibly holding characters MQTT topics and Home Assistant ids do not
// allow) appears in topics and ids in one safe form, its meter id: the
// serial without leading and trailing blanks, letters, digits and "-" as
// they are, every other character (a blank, "_", "/", "+", "#", "?" ...) as
// "_" and its two hexadecimal digits ("AB 12/3" is "AB_2012_2F3"). Two
// different serials never share a meter id. A serial of blanks only is
// "unknown".
namespace gateway {

inline const QByteArray kOnline = QByteArrayLiteral("online");
inline const QByteArray kOffline = QByteArrayLiteral("offline");

QString meterId(const QString &serial);

// ampwright/<meter id>/state: the live values as one JSON object.
QString stateTopic(const QString &serial);
// ampwright/<meter id>/availability: online or offline, retained.
QString availabilityTopic(const QString &serial);
// ampwright/gateway/<name>/availability: online, or offline (also the last will).
QString gatewayAvailabilityTopic(const QString &gatewayName);

// Whether text may stand as one level of a topic and in an id: 1 to 64 of
// letters, digits, "-", "_" and ".".
bool isTopicWord(const QString &text);

} // namespace gateway
