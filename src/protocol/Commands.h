// Bytes of the device conversation.
#pragma once

#include <cstdint>

namespace vorna::cmd {

inline constexpr std::uint8_t kFixProbe = 0xD6;      // Fix Mode presence, update handshake
inline constexpr std::uint8_t kCardProbe = 0xD4;     // program card presence
inline constexpr std::uint8_t kEscProbe = 0xD5;      // ESC presence
inline constexpr std::uint8_t kIdentify = 0xD7;      // seven identity bytes
inline constexpr std::uint8_t kReadSettings = 0xD8;  // settings record, 0xDD at its end
inline constexpr std::uint8_t kRestoreDefaults = 0xDE;
inline constexpr std::uint8_t kEndOfWrite = 0xDF;

inline constexpr std::uint8_t kEscPresent = 0x26;  // '&'
inline constexpr std::uint8_t kFixPresent = 0xD7;
inline constexpr std::uint8_t kIdentityMarker = 0x40;
inline constexpr std::uint8_t kRecordEnd = 0xDD;
inline constexpr std::uint8_t kAck = 0x01;
inline constexpr std::uint8_t kBecRegister = 0xFE;
inline constexpr std::uint8_t kBecQuery = 0x02;

}  // namespace vorna::cmd
