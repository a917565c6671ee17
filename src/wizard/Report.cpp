#include "common/NumberText.h"
#include "wizard/Wizard.h"

namespace nirvex {

namespace {

std::string FieldLine(const TFieldInfo& f) {
    std::string line = "    " + f.FieldName + ":";
    if (f.NormType == TNormMethod::Linear) {
        line += " x= ";
        line += f.Min != 0 ? "(X-" + FormatFixed(f.Min, 5, 2) + ")" : std::string("X");
        line += "/" + FormatFixed(f.Max - f.Min, 5, 2);
    } else if (f.NormType == TNormMethod::Sigmoid) {
        // The formula has no closing parenthesis: that is the line users know.
        line += " x= 1/1+exp(-" + FormatFixed(f.Alpha, 5, 2) + "*X";
    }
    return line + " вход:" + std::to_string(f.NetIndex);
}

} // namespace

void TWizard::BuildReport() {
    std::vector<std::string> r;
    r.push_back("Конфигурация нейросистемы");
    r.push_back("Для обучения используется файл:");
    r.push_back("    " + SampleFileText);
    r.push_back("");
    r.push_back("В качестве входных полей используются");
    for (const TFieldInfo& f : Fields)
        if (f.FieldType == TFieldRole::Input)
            r.push_back(FieldLine(f));
    r.push_back("");
    r.push_back("В качестве целевых полей используются");
    for (const TFieldInfo& f : Fields)
        if (f.FieldType == TFieldRole::Target)
            r.push_back(FieldLine(f));
    r.push_back("");
    r.push_back("Конфигурация нейросети");
    r.push_back("   Параметр сигмоиды:" + FormatGeneral(Network.Alpha, 5));
    const int32_t layers = Network.CountLayers();
    r.push_back("   Число входов:" + std::to_string(layers > 0 ? Network.GetLayerSize(0) : 0));
    r.push_back("   Количество скрытых слоев:" + std::to_string(layers - 2));
    for (int32_t i = 1; i <= layers - 2; ++i)
        r.push_back("   Слой " + std::to_string(i) + " - число нейронов:" + std::to_string(Network.GetLayerSize(i)));
    r.push_back("   Число выходов:" + std::to_string(layers > 0 ? Network.GetLayerSize(layers - 1) : 0));
    r.push_back("");
    const TLearnPage& p = LearnPage;
    r.push_back("Для обучения используется:" + std::to_string(p.UseForTeach) + "% записей");
    r.push_back("Скорость обучения:" + FormatGeneral(Network.TeachSpeed, 3));
    r.push_back("Момент: " + FormatGeneral(Network.Miu, 3));
    r.push_back("");
    r.push_back("Критерии остановки обучения");
    if (p.EpochOn)
        r.push_back("   прошло " + std::to_string(p.EpochC) + " эпох");
    if (p.MaxTeachErrOn)
        r.push_back("   максимальная ошибка при обучении<" + p.MaxTeachErrText);
    if (p.MidTeachErrOn)
        r.push_back("   средняя ошибка при обучении<" + p.MidTeachErrText);
    if (p.TeachIdentOn)
        r.push_back("   Распознано не менее " + std::to_string(p.TeachIdentC) + "% обучающей выборки");
    if (p.MaxTestErrOn)
        r.push_back("   максимальная ошибка при тестировании<" + p.MaxTestErrText);
    if (p.MidTestErrOn)
        r.push_back("   средняя ошибка при тестировании<" + p.MidTestErrText);
    if (p.TestIdentOn)
        r.push_back("   Распознано не менее " + std::to_string(p.TestIdentC) + "% тестовой выборки");
    if (p.KeepBest)
        r.push_back("   сохранить сеть с наименьшей ошибкой на тесте");
    Report = std::move(r);
}

} // namespace nirvex
