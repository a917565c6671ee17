// Page 5: the report of every setting.
#include "common/NumberText.h"
#include "wizard/Messages.h"
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
    } else if (f.NormType == TNormMethod::Auto) {
        // The sigmoid's centre and scale are the column's mean and spread, written as the slope is.
        line += " x= 1/1+exp(-(X-" + FormatFixed(f.Mid, 5, 2) + ")/" + FormatFixed(f.Disp, 5, 2);
    } else if (f.IsCategory()) {
        // Each value takes an input (an output for a target) of its own.
        line += " категории";
        for (std::size_t i = 0; i < f.Categories.size(); ++i)
            line += (i ? ", " : " ") + f.Categories[i] + "→" + std::to_string(f.NetIndex + static_cast<int32_t>(i));
    }
    if (f.GapCount > 0)
        line += f.FillGaps && f.FieldType == TFieldRole::Input ? "; пропуски заполняются"
                                                               : "; записи с пропусками не используются";
    return line + " вход:" + std::to_string(f.NetIndex);
}

} // namespace

void TWizard::BuildReport() {
    std::vector<std::string> r;
    r.push_back("Конфигурация нейросистемы");
    r.push_back("Для обучения используется файл:");
    r.push_back("    " + sampleFileText_);
    r.push_back("");
    r.push_back("В качестве входных полей используются");
    for (const TFieldInfo& f : fields_)
        if (f.FieldType == TFieldRole::Input)
            r.push_back(FieldLine(f));
    r.push_back("");
    r.push_back("В качестве целевых полей используются");
    for (const TFieldInfo& f : fields_)
        if (f.FieldType == TFieldRole::Target)
            r.push_back(FieldLine(f));
    r.push_back("");
    r.push_back("Конфигурация нейросети");
    r.push_back("   Параметр сигмоиды:" + FormatGeneral(network_.Alpha, 5));
    const int32_t layers = network_.CountLayers();
    r.push_back("   Число входов:" + std::to_string(layers > 0 ? network_.GetLayerSize(0) : 0));
    r.push_back("   Количество скрытых слоев:" + std::to_string(layers - 2));
    for (int32_t i = 1; i <= layers - 2; ++i)
        r.push_back("   Слой " + std::to_string(i) + " - число нейронов:" + std::to_string(network_.GetLayerSize(i)));
    r.push_back("   Число выходов:" + std::to_string(layers > 0 ? network_.GetLayerSize(layers - 1) : 0));
    r.push_back("");
    const TLearnPage& p = learnPage_;
    r.push_back("Для обучения используется:" + std::to_string(p.UseForTeach) + "% записей");
    if (p.ValidShare > 0)
        r.push_back("Контрольная часть обучающей выборки:" + std::to_string(p.ValidShare) +
                    "% (записей: " + std::to_string(PlannedValidCount()) + ")");
    if (const int32_t left = recordCount_ - UsableRecordCount(); left > 0)
        r.push_back(msgGapRecords + std::to_string(left));
    r.push_back("Скорость обучения:" + FormatGeneral(network_.TeachSpeed, 3));
    r.push_back("Момент: " + FormatGeneral(network_.Miu, 3));
    r.push_back("");
    r.push_back("Критерии остановки обучения");
    for (const TCriterionDef& d : StopCriteria()) {
        const TCriterionSetting& c = p[d.Id];
        if (c.On)
            r.push_back(d.ReportHead + (d.Kind == TCriterionKind::ErrorBelow ? c.Text : std::to_string(c.Count)) +
                        d.ReportTail);
    }
    if (p.KeepBest)
        r.push_back(PlannedValidCount() > 0 ? "   сохранить сеть с наименьшей ошибкой на контрольной части"
                                            : "   сохранить сеть с наименьшей ошибкой на тесте");
    report_ = std::move(r);
}

} // namespace nirvex
