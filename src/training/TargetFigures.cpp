#include "training/TargetFigures.h"

#include "common/CsvCell.h"
#include "common/NumberText.h"
#include "sample/Normalize.h"

namespace nirvex {

namespace {

TPartFigures NumberPart(const std::vector<TUnitErrors>& units, std::size_t n) {
    TPartFigures p;
    if (n < units.size()) {
        p.Rmse = units[n].Rmse();
        p.Mae = units[n].Mae();
        p.Count = units[n].Count;
    }
    return p;
}

TPartFigures CategoryPart(const std::vector<TConfusion>& confusion, std::size_t c) {
    TPartFigures p;
    if (c < confusion.size() && confusion[c].Total() > 0) {
        p.Count = confusion[c].Total();
        p.Accuracy = 100.0 * confusion[c].Right() / p.Count;
    }
    return p;
}

// The CSV value of a figure: 15 significant digits, nothing for none.
std::string CurveValue(double value) {
    return value == value ? FormatGeneral(value, 15) : std::string();
}

} // namespace

std::vector<TTargetFigures> TargetFigures(const std::vector<TFieldInfo>& fields, const TEpochStats& s) {
    std::vector<TTargetFigures> figures;
    std::size_t numbers = 0, categories = 0;
    for (const TFieldInfo* f : NetOrder(fields, TFieldRole::Target)) {
        TTargetFigures t;
        t.Field = f->FieldName;
        t.Category = f->IsCategory();
        if (t.Category) {
            t.Teach = CategoryPart(s.TeachConfusion, categories);
            t.Test = CategoryPart(s.TestConfusion, categories++);
        } else {
            t.Teach = NumberPart(s.TeachUnits, numbers);
            t.Test = NumberPart(s.TestUnits, numbers++);
        }
        figures.push_back(std::move(t));
    }
    return figures;
}

std::string FormatFigure(double value) {
    return value == value ? FormatGeneral(value, 5) : std::string("—");
}

std::string FormatTargetFigures(const TTargetFigures& t) {
    auto percent = [](double v) { return v == v ? FormatGeneral(v, 3) + "%" : FormatFigure(v); };
    if (t.Category)
        return t.Field + ": верно обуч. " + percent(t.Teach.Accuracy) + ", тест " + percent(t.Test.Accuracy);
    return t.Field + ": СКО обуч. " + FormatFigure(t.Teach.Rmse) + ", тест " + FormatFigure(t.Test.Rmse) +
           "; средняя абс. ошибка обуч. " + FormatFigure(t.Teach.Mae) + ", тест " + FormatFigure(t.Test.Mae);
}

std::string CurveTargetHeader(const std::vector<TTargetFigures>& figures) {
    std::string header;
    for (const TTargetFigures& t : figures) {
        const char* measure = t.Category ? "_accuracy:" : "_rmse:";
        header += "," + CsvCell(std::string("train") + measure + t.Field) + "," +
                  CsvCell(std::string("test") + measure + t.Field);
    }
    return header;
}

std::string CurveTargetCells(const std::vector<TTargetFigures>& figures) {
    std::string cells;
    for (const TTargetFigures& t : figures)
        cells += "," + CurveValue(t.Category ? t.Teach.Accuracy : t.Teach.Rmse) + "," +
                 CurveValue(t.Category ? t.Test.Accuracy : t.Test.Rmse);
    return cells;
}

} // namespace nirvex
