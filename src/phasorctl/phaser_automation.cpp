// Phaser's face toward its host: calls by dispatch id, event connections and
// persistence of EnlargeDirection.

#include "phasorctl/phaser.h"

#include <algorithm>

namespace gyroscribe {

using hosting::InvokeKind;
using hosting::Status;

namespace {

const QString enlargeDirectionKey = QStringLiteral("EnlargeDirection");
constexpr std::int32_t defaultEnlargeDirection = static_cast<std::int32_t>(EnlargeDirEnum::RIGHT_BOTTOM);

} // namespace

Status Phaser::invoke(hosting::DispId member, InvokeKind kind, std::span<hosting::Variant> args,
                      hosting::Variant *result)
{
    if (member == dispid::SetPwrData) {
        if (kind != InvokeKind::Method)
            return Status::MemberNotFound;
        if (args.size() != SetPwrDataArgumentCount)
            return Status::BadParamCount;
        // Copies: the caller's variables are read, never written.
        std::array<float, SetPwrDataArgumentCount> v{};
        for (std::size_t i = 0; i < v.size(); ++i)
            if (const Status converted = hosting::toSingle(args[i], v[i]); converted != Status::Ok)
                return converted;
        const bool drawn =
            SetPwrData(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]);
        if (result)
            *result = drawn;
        return Status::Ok;
    }
    if (member == dispid::EnlargeDirection) {
        if (kind == InvokeKind::PropertyGet) {
            if (!args.empty())
                return Status::BadParamCount;
            if (result)
                *result = EnlargeDirection();
            return Status::Ok;
        }
        if (kind == InvokeKind::PropertyPut) {
            if (args.size() != 1)
                return Status::BadParamCount;
            std::int32_t direction = 0;
            if (const Status converted = hosting::toInt32(args[0], direction);
                converted != Status::Ok)
                return converted;
            setEnlargeDirection(direction);
            return Status::Ok;
        }
    }
    return Status::MemberNotFound;
}

Status Phaser::advise(const QUuid &sourceInterface, hosting::IEventSink *sink, int *cookie)
{
    if (!sink || !cookie)
        return Status::InvalidArgument;
    *cookie = 0;
    if (sourceInterface != DIID_PhaserEvents)
        return Status::NoInterface;
    *cookie = ++mLastCookie;
    mSinks.emplace_back(*cookie, sink);
    return Status::Ok;
}

Status Phaser::unadvise(int cookie)
{
    const auto found = std::find_if(mSinks.begin(), mSinks.end(),
                                    [cookie](const auto &entry) { return entry.first == cookie; });
    if (found == mSinks.end())
        return Status::InvalidArgument;
    mSinks.erase(found);
    return Status::Ok;
}

void Phaser::initProperties()
{
    mEnlargeDirection = defaultEnlargeDirection;
}

void Phaser::readProperties(const hosting::IPropertyBag &bag)
{
    // A stored value that is no integer counts as absent.
    std::int32_t stored = defaultEnlargeDirection;
    if (const std::optional<hosting::Variant> value = bag.read(enlargeDirectionKey))
        if (hosting::toInt32(*value, stored) != Status::Ok)
            stored = defaultEnlargeDirection;
    mEnlargeDirection = stored;
}

void Phaser::writeProperties(hosting::IPropertyBag &bag) const
{
    // The default is not stored; a key left from an earlier save must go too,
    // or it would be read back instead of the default.
    if (mEnlargeDirection == defaultEnlargeDirection)
        bag.remove(enlargeDirectionKey);
    else
        bag.write(enlargeDirectionKey, mEnlargeDirection);
}

} // namespace gyroscribe
