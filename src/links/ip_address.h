#pragma once

#include <QString>

namespace links {

// Whether a text has the form of an IPv4 address: four groups of one to three
// digits separated by dots, nothing before or after (the range of a group is
// not checked). "192.168.1.250" passes; "192.168.1", "192.168.1.250 " do not.
bool isIpAddressText(const QString &text);

} // namespace links
