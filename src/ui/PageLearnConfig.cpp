#include "PageLearnConfig.h"

namespace nirvex {

TPageLearnConfig::TPageLearnConfig(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) { setObjectName("tsLearnConfig"); }

void TPageLearnConfig::ShowPage() {}

} // namespace nirvex
