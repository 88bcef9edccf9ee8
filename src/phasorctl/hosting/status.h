#pragma once

// Result codes of the control-hosting layer, shared by control libraries and
// their hosts. They travel as 32-bit integers through the exported C entry
// points, so the values are fixed.

#include <QString>

#include <cstdint>

namespace hosting {

enum class Status : std::int32_t {
    Ok = 0,
    False = 1,              // success, answer "no" (DllCanUnloadNow: objects still alive)
    Failed = 2,             // unspecified failure
    InvalidArgument = 3,    // a null pointer or an impossible argument
    NoInterface = 4,        // the requested interface is not offered
    ClassNotAvailable = 5,  // the library does not provide the requested class
    MemberNotFound = 6,     // unknown dispatch id, or a kind the member does not support
    BadParamCount = 7,      // wrong number of dispatch arguments
    TypeMismatch = 8,       // an argument cannot be converted to the member's type
    Overflow = 9,           // an argument is out of the range of the member's type
    AccessDenied = 10,      // the registry file cannot be written
};

inline bool succeeded(Status status)
{
    return status == Status::Ok || status == Status::False;
}

inline QString statusText(Status status)
{
    switch (status) {
    case Status::Ok: return QStringLiteral("success");
    case Status::False: return QStringLiteral("success (false)");
    case Status::Failed: return QStringLiteral("failure");
    case Status::InvalidArgument: return QStringLiteral("invalid argument");
    case Status::NoInterface: return QStringLiteral("interface not supported");
    case Status::ClassNotAvailable: return QStringLiteral("class not available");
    case Status::MemberNotFound: return QStringLiteral("member not found");
    case Status::BadParamCount: return QStringLiteral("wrong number of arguments");
    case Status::TypeMismatch: return QStringLiteral("type mismatch");
    case Status::Overflow: return QStringLiteral("overflow");
    case Status::AccessDenied: return QStringLiteral("access denied");
    }
    return QStringLiteral("unknown status %1").arg(static_cast<std::int32_t>(status));
}

// A status that arrived as a raw integer from an entry point of a library.
inline Status statusFromCode(std::int32_t code)
{
    if (code < static_cast<std::int32_t>(Status::Ok) ||
        code > static_cast<std::int32_t>(Status::AccessDenied))
        return Status::Failed;
    return static_cast<Status>(code);
}

} // namespace hosting
