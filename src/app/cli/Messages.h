#pragma once

// What nirvex-cli says to the user.
namespace nirvex {

inline constexpr const char* msgProjectNotFound = "Файл проекта не найден";
inline constexpr const char* msgRunCannotEnd =
    "Обучение не может завершиться: не выбран ни один критерий остановки и не задан лимит эпох";
// A run that could not change the network is refused before its first epoch.
inline constexpr const char* msgNoTrainingPart =
    "Обучающая часть выборки пуста: увеличьте процент выборки для обучения (UseForTeach)";
inline constexpr const char* msgZeroRate = "Скорость обучения равна 0: обучение не изменит сеть (TeachSpeed)";
// A project without a record order got the one its load drew: msgRecordOrderKept + the project file +
// msgRecordOrderSeed + its value.
inline constexpr const char* msgRecordOrderKept = "Порядок записей не был задан; выбран и записан в ";
inline constexpr const char* msgRecordOrderSeed = ": IND_INIT=";

// `new`: a name that is no column (followed by the name, then msgColumnsAre and the columns), a column
// given two roles, an option's value out of range (the option, then msgRangeIs and the range), a
// hidden layer without neurons, a normalization not known, the best network without a test part.
inline constexpr const char* msgNoSuchColumn = "В выборке нет поля ";
inline constexpr const char* msgColumnsAre = ". Поля выборки: ";
inline constexpr const char* msgTwoRoles = "Поле указано с разными ролями: ";
inline constexpr const char* msgRangeIs = ": Параметр должен быть в диапазоне ";
inline constexpr const char* msgNoNeurons = "--hidden: Число нейронов в слое должно быть не меньше 1";
inline constexpr const char* msgUnknownNorm = "Неизвестный способ нормализации (linear, sigmoid, auto, none): ";
inline constexpr const char* msgKeepBestNoTest =
    "--keep-best: нет ни тестовой, ни контрольной части выборки (--train-share 100, --valid-share 0)";
// `new` tells on standard error what it chose: the target field of the load (followed by its name)
// and the record order drawn (followed by the value that repeats it).
inline constexpr const char* msgTargetTaken = "Целевое поле (последнее поле выборки): ";
inline constexpr const char* msgSeedDrawn = "Порядок записей: --seed ";

// `fields`: the header and the kinds of a column.
inline constexpr const char* kFieldsHeader = "Поле\tВид\tПропусков\tМинимум\tМаксимум\tЗначения";
inline constexpr const char* kKindNumber = "число";
inline constexpr const char* kKindText = "пропущен: слишком много различных значений";
inline constexpr const char* kKindCategory = "категории";
// The test part's accuracy of a category target (its " из " and the matrix's corner are the wizard's).
inline constexpr const char* kAccuracyHead = "Точность на тесте, ";
inline constexpr const char* msgCategoryNorm = "у поля категорий нормализация своя: ";
inline constexpr const char* msgNoGapsToFill = "не входное поле или в нём нет пропусков: ";

inline constexpr const char* kProgramName = "nirvex-cli (Nirvex) ";

// The usage: the commands, then `new`'s options (its stop criteria follow from their table), then
// the other commands.
inline constexpr const char* kUsageHead =
    "Использование:\n"
    "  nirvex-cli fields ВЫБОРКА\n"
    "  nirvex-cli new ВЫБОРКА -o ПРОЕКТ [параметры]\n"
    "  nirvex-cli report ПРОЕКТ\n"
    "  nirvex-cli train ПРОЕКТ [-o ВЫХОД] [--curve CSV]\n"
    "  nirvex-cli predict ПРОЕКТ ВХОД [-o ВЫХОД]\n"
    "  nirvex-cli export ПРОЕКТ -o ФАЙЛ [--name ИМЯ]\n"
    "  nirvex-cli importance ПРОЕКТ [-o CSV]\n"
    "  nirvex-cli --version | --help\n"
    "\n"
    "fields   печатает столбцы выборки через табуляцию: имя, вид (число или пропущенный столбец и\n"
    "         причина), число пропусков, минимум и максимум\n"
    "new      создает проект по выборке, как его сохранило бы окно на странице отчета; не заданное\n"
    "         берется таким, каким его предлагает окно. Имена полей - как на странице 2, в любом\n"
    "         регистре:\n"
    "  --target ПОЛЕ          целевое поле (можно несколько раз; без него - последнее поле)\n"
    "  --input ПОЛЕ           входное поле (можно несколько раз; без него - все остальные поля)\n"
    "  --ignore ПОЛЕ          поле не используется (можно несколько раз)\n"
    "  --norm ПОЛЕ=СПОСОБ     нормализация числового поля: linear, sigmoid, auto или none\n"
    "  --fill-gaps ПОЛЕ       пропуски входного поля заполняются средним (категории - самым частым\n"
    "                         значением) вместо того, чтобы не использовать такие записи\n"
    "  --hidden N[,N...]      число нейронов в каждом скрытом слое (от 1 до 10 слоев)\n"
    "  --slope A              параметр сигмоиды (0.01..4)\n"
    "  --rate R               скорость обучения\n"
    "  --momentum M           момент\n"
    "  --train-share P        процент выборки для обучения (1..100)\n"
    "  --valid-share P        контрольная часть: последние P% обучающей части не обучают, а по ним\n"
    "                         выбирают сеть (--keep-best) и останавливают обучение (--validate) (0..50)\n"
    "  --seed S               порядок записей (без него - случайный, печатается)\n"
    "  --ident-error E        пример распознан, если ошибка по нему < E\n"
    "  --validate             остановить обучение, когда ошибка на тесте (на контрольной части, если\n"
    "                         она есть) возросла\n"
    "  --keep-best            сохранить сеть с наименьшей ошибкой на тесте (на контрольной части, если\n"
    "                         она есть)\n"
    "  критерии остановки (лимит эпох отмечен всегда, по умолчанию 1000):\n";
inline constexpr const char* kUsageTail =
    "report   печатает отчет о конфигурации проекта\n"
    "train    обучает сеть с настройками проекта и сохраняет проект (по умолчанию в тот же файл);\n"
    "         --curve записывает ошибки каждой эпохи в файл CSV\n"
    "predict  рассчитывает целевые поля для каждой записи входного файла; без -o результат\n"
    "         печатается. Если во входном файле есть целевое поле, его факт пишется рядом\n"
    "         с расчётом, а ошибки (для категорий точность) печатаются\n"
    "export   выгружает обученную сеть с нормализацией полей: ФАЙЛ.onnx в формате ONNX, ФАЙЛ.c\n"
    "         как исходный текст на C с функцией ИМЯ_predict (по умолчанию nirvex_predict)\n"
    "importance  значимость входов обученной сети: для каждого входного поля, начиная с самого\n"
    "         значимого, рост средней ошибки при перемешивании его значений, доля от наибольшего\n"
    "         роста и часть выборки, на которой он измерен; -o записывает их в файл CSV\n";

} // namespace nirvex
