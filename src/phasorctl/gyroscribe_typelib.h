#pragma once

// The programmatic face of the Gyroscribe control library, shared by the
// library and every host: identifiers, dispatch ids and the enumeration.
// A host needs nothing else to create and drive a Phaser control.

#include "phasorctl/hosting/interfaces.h"

#include <QUuid>

#include <cstddef>
#include <cstdint>

namespace gyroscribe {

inline constexpr char TypeLibraryName[] = "GyroscribeLib";
inline constexpr int TypeLibraryMajorVersion = 1;
inline constexpr int TypeLibraryMinorVersion = 0;
inline constexpr char PhaserProgId[] = "GyroscribeLib.Phaser";

inline constexpr QUuid LIBID_GyroscribeLib{0x93da2776, 0x84c5, 0x401c, 0x9b, 0x98,
                                           0x6b, 0xcc, 0x4c, 0x2f, 0xf0, 0x4c};
inline constexpr QUuid CLSID_Phaser{0x5d849f06, 0xc2c3, 0x476e, 0x9a, 0x5b,
                                    0x9c, 0xfe, 0xe9, 0xd7, 0x5c, 0x71};
// Default interface of Phaser, _Phaser (dual, hidden).
inline constexpr char PhaserInterfaceName[] = "_Phaser";
inline constexpr QUuid IID_PhaserInterface{0x226cc31a, 0xdf9e, 0x4072, 0x90, 0x2e,
                                           0xeb, 0x29, 0x21, 0xe0, 0x25, 0xda};
// Default source interface of Phaser, __Phaser (events, dispatch only).
inline constexpr char PhaserEventsName[] = "__Phaser";
inline constexpr QUuid DIID_PhaserEvents{0x204f55bd, 0xdb16, 0x483b, 0xa9, 0x8a,
                                         0x3f, 0xd0, 0xb3, 0xc2, 0x44, 0x56};
inline constexpr QUuid GUID_EnlargeDirEnum{0x2c629dae, 0xb228, 0x4fba, 0xa3, 0xa7,
                                           0x55, 0x5e, 0x58, 0x3f, 0x6b, 0x64};

enum class EnlargeDirEnum : std::int32_t {
    CENTER = 0,
    RIGHT_TOP = 1,
    LEFT_TOP = 2,
    LEFT_BOTTOM = 3,
    RIGHT_BOTTOM = 4,
};

namespace dispid {
// Members of _Phaser.
inline constexpr hosting::DispId SetPwrData = 0x60030008;
inline constexpr hosting::DispId EnlargeDirection = 0x68030000;
// Events of __Phaser.
inline constexpr hosting::DispId DblClick = 1;
} // namespace dispid

// Number of Single arguments of SetPwrData, in this order: sngVa, sngVb, sngVc,
// sngDeg_Va, sngDeg_Vb, sngDeg_Vc, sngIa, sngIb, sngIc, sngDeg_Ia, sngDeg_Ib,
// sngDeg_Ic.
inline constexpr std::size_t SetPwrDataArgumentCount = 12;

} // namespace gyroscribe
