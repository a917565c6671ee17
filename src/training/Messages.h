#pragma once

// What a training run says to the user.
namespace nirvex {

inline constexpr const char* msgEpochLimit = "Остановка обучения\n\rИсчерпан лимит эпох.";
inline constexpr const char* msgTestErrGrew = "Остановка обучения\n\rОшибка по тестовой выборке возросла.";
inline constexpr const char* msgValidErrGrew = "Остановка обучения\n\rОшибка по контрольной части возросла.";
inline constexpr const char* msgTrainedOk = "Обучение завершено успешно";
// The network's input or output layer is not as large as the sample's input or target fields.
inline constexpr const char* msgNetMismatch = "Структура сети не соответствует полям выборки";
// Followed by the number of the epoch whose network was taken back.
inline constexpr const char* msgBestRestored = "Восстановлена лучшая сеть: эпоха ";

// The part of the sample an input's importance was measured on.
inline constexpr const char* kPartTest = "тестовая часть";
inline constexpr const char* kPartValidation = "контрольная часть";
inline constexpr const char* kPartTraining = "обучающая часть";
// The columns of the printed importance.
inline constexpr const char* kImportanceHeader = "Поле\tРост ошибки\tДоля\tЧасть выборки";

} // namespace nirvex
