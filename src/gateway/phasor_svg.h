#pragma once

#include <QByteArray>

namespace meter {
struct Reading;
}

namespace gateway {

// The phasor diagram of a reading as an SVG picture, drawn as the window's
// phasor control draws it (phasorctl/phasor_geometry.h): the axes with their
// angle marks, the reference circle, three voltage and three current vectors
// from the line-to-neutral voltages and the currents with their angles, each
// labelled (Va .. Ic). Vector lines carry the class "vector" and a data-name
// of their label. A value not read draws as a zero-length vector, as in the
// window; values the diagram cannot represent give a picture saying so.
QByteArray phasorSvg(const meter::Reading &reading);

} // namespace gateway
