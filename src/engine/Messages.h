#pragma once

// What the network engine says to the user.
namespace nirvex {

inline constexpr const char* msgLayerOutOfRange = "Номер слоя вне диапазона";
inline constexpr const char* msgNotConfigured = "Сеть не сконфигурирована";
inline constexpr const char* msgBadInputNo = "Неверный номер входа";
inline constexpr const char* msgNetTooLarge = "Недостаточно памяти для сети такого размера";

} // namespace nirvex
