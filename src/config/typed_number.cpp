#include "config/typed_number.h"

#include <QLocale>

#include <cmath>

namespace config {

std::optional<double> fullNumber(const QString &text)
{
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double leadingNumber(const QString &text)
{
    QString compact;
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
            compact.append(c);

    // sign? digits* ("." digits*)? (exponent sign? digits+)?
    qsizetype end = 0;
    const auto digitsFrom = [&compact](qsizetype at) {
        while (at < compact.size() && compact[at].isDigit() && compact[at].unicode() < 128)
            ++at;
        return at;
    };
    if (end < compact.size() && (compact[end] == u'+' || compact[end] == u'-'))
        ++end;
    const qsizetype intStart = end;
    end = digitsFrom(end);
    bool hasDigits = end > intStart;
    if (end < compact.size() && compact[end] == u'.') {
        const qsizetype fracEnd = digitsFrom(end + 1);
        hasDigits = hasDigits || fracEnd > end + 1;
        end = fracEnd;
    }
    if (!hasDigits)
        return 0;
    if (end < compact.size()
        && (compact[end] == u'e' || compact[end] == u'E' || compact[end] == u'd'
            || compact[end] == u'D')) {
        qsizetype exp = end + 1;
        if (exp < compact.size() && (compact[exp] == u'+' || compact[exp] == u'-'))
            ++exp;
        const qsizetype expEnd = digitsFrom(exp);
        if (expEnd > exp) {
            QString number = compact.left(expEnd);
            number[end] = u'e';
            const double value = QLocale::c().toDouble(number);
            return std::isfinite(value) ? value : 0;
        }
    }
    QString number = compact.left(end);
    if (number.endsWith(u'.'))
        number.chop(1);
    if (number == u"+" || number == u"-" || number.isEmpty())
        return 0;
    return QLocale::c().toDouble(number);
}

bool isWholeNumber(double value)
{
    return std::isfinite(value) && value - std::nearbyint(value) == 0;
}

std::optional<int> wholeNumberIn(const QString &text, int first, int last)
{
    const std::optional<double> value = fullNumber(text);
    if (!value || !isWholeNumber(*value) || *value < first || *value > last)
        return std::nullopt;
    return static_cast<int>(*value);
}

namespace {

// Numeric by full conversion, and the leading number within [low, high]
// (low itself allowed when lowIncluded).
bool inRange(const QString &text, double low, bool lowIncluded, double high)
{
    if (!fullNumber(text))
        return false;
    const double lead = leadingNumber(text);
    return (lowIncluded ? lead >= low : lead > low) && lead <= high;
}

bool addressAccepted(const QString &text, double low, bool lowIncluded)
{
    return inRange(text, low, lowIncluded, 250) && isWholeNumber(*fullNumber(text));
}

} // namespace

bool ctRatioAccepted(const QString &text) { return inRange(text, 0, false, 2400); }
bool ptRatioAccepted(const QString &text) { return inRange(text, 0.1, true, 6250); }
bool meterAddressAccepted(const QString &text) { return addressAccepted(text, 0, false); }
bool connectionAddressAccepted(const QString &text) { return addressAccepted(text, 0, true); }

} // namespace config
