#include "training/StopCriteria.h"

#include "training/EpochStats.h"

namespace nirvex {

namespace {

using K = TCriterionKind;
using M = TCriterionMeasure;

// The project file keys, names and order, are those earlier versions wrote.
constexpr std::array<TCriterionDef, kCriterionCount> kCriteria = {{
    {TCriterion::Epoch, K::EpochLimit, M::None, "Epoch", "EpochC", "cbEpoch", "seEpoch", "Прошло ", "эпох",
     "Максимальное число эпох, используемое при обучении", "   прошло ", " эпох", 0, 100000, 10000},
    {TCriterion::MaxTeachErr, K::ErrorBelow, M::TeachErrMax, "MaxTeachErr", "MaxTeachErrV", "cbMaxTeachErr",
     "edtMaxTeachErr", "Макс. ошибка при обучении <", nullptr, nullptr, "   максимальная ошибка при обучении<", "", 0,
     0, 0},
    {TCriterion::MidTeachErr, K::ErrorBelow, M::TeachErrMean, "MidTeachErr", "MidTeachErrV", "cbMidTeachErr",
     "edtMidTeachErr", "Средняя ошибка при обучении <", nullptr, nullptr, "   средняя ошибка при обучении<", "", 0, 0,
     0},
    {TCriterion::TeachIdent, K::ShareAtLeast, M::TeachIdent, "TeachIdent", "TeachIdentC", "cbTeachIdent",
     "seTeachIdent", "Распознано ", "% обучающей выборки", nullptr, "   Распознано не менее ", "% обучающей выборки", 0,
     100, 80},
    {TCriterion::MaxTestErr, K::ErrorBelow, M::TestErrMax, "MaxTestErr", "MaxTestErrV", "cbMaxTestErr", "edtMaxTestErr",
     "Макс. ошибка при тестировании <", nullptr, nullptr, "   максимальная ошибка при тестировании<", "", 0, 0, 0},
    {TCriterion::MidTestErr, K::ErrorBelow, M::TestErrMean, "MidTestErr", "MidTestErrV", "cbMidTestErr",
     "edtMidTestErr", "Средняя ошибка при тестировании <", nullptr, nullptr, "   средняя ошибка при тестировании<", "",
     0, 0, 0},
    {TCriterion::TestIdent, K::ShareAtLeast, M::TestIdent, "TestIdent", "TestIdentC", "cbTestIdent", "seTestIdent",
     "Распознано ", "% тестовой выборки", nullptr, "   Распознано не менее ", "% тестовой выборки", 0, 100, 80},
}};

constexpr bool InIdOrder() {
    for (std::size_t i = 0; i < kCriteria.size(); ++i)
        if (CriterionSlot(kCriteria[i].Id) != i)
            return false;
    return true;
}
static_assert(InIdOrder(), "the table is indexed by TCriterion");

double Share(int32_t count, int32_t of) {
    return of > 0 ? count * 100.0 / of : 0.0;
}

bool Met(const TCriterionDef& d, double limit, const TEpochStats& s, int32_t teachCount, int32_t testCount) {
    switch (d.Measure) {
    case M::TeachErrMax:
        return limit > s.TeachErrMax;
    case M::TeachErrMean:
        return limit > s.TeachErrMean;
    case M::TestErrMax:
        return limit > s.TestErrMax;
    case M::TestErrMean:
        return limit > s.TestErrMean;
    case M::TeachIdent:
        return Share(s.TeachIdentCount, teachCount) >= limit;
    case M::TestIdent:
        return Share(s.TestIdentCount, testCount) >= limit;
    case M::None:
        break;
    }
    return true;
}

} // namespace

const std::array<TCriterionDef, kCriterionCount>& StopCriteria() {
    return kCriteria;
}

const TCriterionDef& CriterionDef(TCriterion id) {
    return kCriteria[CriterionSlot(id)];
}

std::array<TCriterionRule, kCriterionCount> TStopRules::DefaultRules() {
    std::array<TCriterionRule, kCriterionCount> rules{};
    for (const TCriterionDef& d : kCriteria)
        rules[CriterionSlot(d.Id)].Limit = d.Kind == K::ErrorBelow ? 0.05 : d.Default;
    return rules;
}

bool AnyCriterionOn(const TStopRules& rules) {
    for (const TCriterionRule& r : rules.Criteria)
        if (r.On)
            return true;
    return false;
}

bool CriteriaMet(const TStopRules& rules, const TEpochStats& s, int32_t teachCount, int32_t testCount) {
    bool any = false;
    for (const TCriterionDef& d : kCriteria) {
        const TCriterionRule& r = rules[d.Id];
        if (!r.On || d.Kind == K::EpochLimit)
            continue;
        any = true;
        if (!Met(d, r.Limit, s, teachCount, testCount))
            return false;
    }
    return any;
}

} // namespace nirvex
