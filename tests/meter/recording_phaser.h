#pragma once

// What the recording stand-in of the phasor diagram (recording_phaser_library)
// shares with the tests that host it.

#include <QList>
#include <QVariantList>
#include <QWidget>

// Dynamic property of the stand-in's widget: one QVariantList of the twelve
// SetPwrData arguments (as doubles) per call.
inline constexpr char kPwrCallsProperty[] = "pwrCalls";

// The SetPwrData calls a stand-in control received, oldest first.
inline QList<QList<double>> recordedPwrCalls(const QWidget *control)
{
    QList<QList<double>> calls;
    if (!control)
        return calls;
    for (const QVariant &call : control->property(kPwrCallsProperty).toList()) {
        QList<double> values;
        for (const QVariant &value : call.toList())
            values.append(value.toDouble());
        calls.append(values);
    }
    return calls;
}
