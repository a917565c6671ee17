#include "PageLearn.h"

namespace nirvex {

TPageLearn::TPageLearn(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) { setObjectName("tsLearn"); }

void TPageLearn::ShowPage() {}

} // namespace nirvex
