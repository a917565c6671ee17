#include "common/FloatCheck.h"

#include "common/Errors.h"

#include <cfenv>

namespace nirvex {

void ClearFloatErrors() {
    std::feclearexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
}

void CheckFloatErrors() {
    int raised = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    if (raised == 0)
        return;
    std::feclearexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    if (raised & FE_INVALID)
        throw EError(msgInvalidOp);
    if (raised & FE_DIVBYZERO)
        throw EError(msgDivByZero);
    throw EError(msgOverflow);
}

} // namespace nirvex
