#include "PageReport.h"

namespace nirvex {

TPageReport::TPageReport(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) { setObjectName("tsInfo"); }

void TPageReport::ShowPage() {}

} // namespace nirvex
