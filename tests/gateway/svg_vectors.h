#pragma once

#include <QMap>
#include <QPointF>
#include <QRegularExpression>
#include <QString>

#include <cmath>

// The vectors of a phasor picture (gateway/phasor_svg.h) by their labels
// (Va .. Ic): where each ends, y downwards.
inline QMap<QString, QPointF> svgVectors(const QString &svg)
{
    static const QRegularExpression line(QStringLiteral(
        "class=\"vector\" data-name=\"(\\w+)\" x1=\"0\" y1=\"0\" x2=\"(-?[0-9.]+)\" y2=\"(-?[0-9.]+)\""));
    QMap<QString, QPointF> ends;
    for (auto match = line.globalMatch(svg); match.hasNext();) {
        const auto m = match.next();
        ends.insert(m.captured(1), {m.captured(2).toDouble(), m.captured(3).toDouble()});
    }
    return ends;
}

// An end's angle in degrees, 0 to 360, counter-clockwise from the x axis.
inline double svgAngle(QPointF end) { return std::fmod(std::atan2(-end.y(), end.x()) * 180 / M_PI + 360.0, 360.0); }
