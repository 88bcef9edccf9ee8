#pragma once

// The arithmetic of the phasor diagram, free of widgets so that it can be
// checked on its own. Coordinates are twips with the origin in the centre of
// the control, x to the right and y downwards; angles are degrees counted
// counter-clockwise from the positive x axis.

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>

namespace gyroscribe {

inline constexpr double TwipsPerPixel = 15.0;
inline constexpr double Pi = 3.14159265358979;
// The farthest an element of the diagram may be placed from the origin, in
// twips; anything beyond is an overflow.
inline constexpr double MaxCoordinate = 2147483647.0;

// The error of a value that the diagram cannot represent; its description is
// what the user sees.
class OverflowError : public std::overflow_error {
public:
    OverflowError() : std::overflow_error("Overflow") {}
};

// Brings an angle into 0 ... 360: c = Int(|a| / 360) * 360 with Int taken as a
// 16-bit integer; a >= 0 gives a - c, a < 0 gives c + (a + 360). So -30 gives
// 330, 370 gives 10, -360 gives 360 and 360 gives 0. Throws OverflowError when
// Int(|a| / 360) does not fit 16 bits (|a| >= 32768 * 360) or a is NaN.
float NormalizeAngle(float degrees);

// The first element, replaced only by a strictly smaller (larger) one; an
// empty list gives 0.
float MinOfValues(std::initializer_list<float> values);
float MaxOfValues(std::initializer_list<float> values);

// The sizes the background drawing derives from the control's inner size.
struct BackgroundMetrics {
    double innerWidth = 0.0;     // twips
    double innerHeight = 0.0;    // twips
    double axisHalfLength = 0.0; // larger side / 2 - 240
    double circleRadius = 0.0;   // larger side / 2 - 440, at least 0
    int plotRadius = 0;          // circleRadius rounded half to even
};

BackgroundMetrics backgroundMetrics(double innerWidth, double innerHeight);

// Top-left corners of the angle marks "0", "90", "180", "270" around axes of
// the given half length; sizes in the same order. Each mark sits beside the
// end of its axis and is then moved the least needed to lie wholly inside the
// control's inner size (centred on the origin): on a control wider than high
// the vertical axis runs past the edges, and even on a square one the "0"
// mark would stick out by 10 twips.
std::array<QPointF, 4> degreeMarkPositions(double axisHalfLength,
                                           const std::array<QSizeF, 4> &markSizes,
                                           QSizeF innerSize);

// The magnitude that reaches the reference circle: the smallest of the three,
// with 0 replaced by 1.
float referenceMagnitude(float a, float b, float c);

// plotRadius * magnitude / reference as a Single. Throws OverflowError when the
// result is not a finite Single.
float vectorLength(int plotRadius, float magnitude, float reference);

// Far end of a vector of the given length and normalised angle. Throws
// OverflowError when it lies beyond MaxCoordinate.
QPointF vectorEnd(float length, float angleDegrees);

// Top-left corner of a label centred 200 twips beyond the tip of the vector
// (length, end) on its line; a zero vector's label is centred on the origin.
// Throws OverflowError when it lies beyond MaxCoordinate.
QPointF vectorLabelTopLeft(float length, QPointF end, QSizeF labelSize);

// The part of a segment inside a rectangle (Liang-Barsky), or nothing.
std::optional<QLineF> clipSegment(const QLineF &segment, const QRectF &clip);

// Space kept between a moved label and what it was moved away from, twips.
inline constexpr double LabelClearance = 15.0;

// Top-left corner of the rectangle of wanted's size nearest to wanted that
// lies wholly inside bounds and keeps LabelClearance from every rectangle of
// taken; wanted's own corner when it already does. A label that has to move
// would rather not cover its own vector (own) or the others (others): each
// one it covers counts as a longer way, two label heights for its own, one
// for another. When no place is free (a control too small for its labels),
// the nearest place inside bounds.
QPointF freeLabelPosition(const QRectF &wanted, const QRectF &bounds, std::span<const QRectF> taken,
                          const QLineF &own, std::span<const QLineF> others);

// Top-left corner of the label of the vector (length, end) on a surface
// centred on the origin: centred 200 twips beyond the tip on the vector's
// line (vectorLabelTopLeft); drawn back along that line to the surface's
// edge when it would stick out (a vector longer than the surface is named
// where it leaves it); then moved the least needed to clear the angle marks
// and the labels placed before it (taken), if it can off the vectors
// (freeLabelPosition). Throws OverflowError as vectorLabelTopLeft does.
QPointF placeVectorLabel(float length, QPointF end, QSizeF labelSize, const QRectF &surface,
                         std::span<const QRectF> taken, std::span<const QLineF> others);

} // namespace gyroscribe
