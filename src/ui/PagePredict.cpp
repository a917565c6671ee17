#include "PagePredict.h"

namespace nirvex {

TPagePredict::TPagePredict(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) { setObjectName("tsPredict"); }

void TPagePredict::ShowPage() {}

} // namespace nirvex
