#pragma once

#include "app/cli/Messages.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace nirvex {

// Runs one command of nirvex-cli (`args` without the program name) and returns the exit status:
// 0 done, 1 an error (its message on `err`), 2 wrong usage (the usage text on `err`).
//   fields SAMPLE                   the columns of a sample: name, kind, gaps, minimum, maximum
//   new SAMPLE -o PROJECT [options] a project as the window would save it on the report page
//   report PROJECT                  the configuration report, one line per report line
//   train PROJECT [-o OUT]          one training run, then the project saved on the prediction page
//   predict PROJECT INPUT [-o OUT]  the outputs for every record of a sample text file
//   export PROJECT -o FILE [--name NAME]  the trained network as FILE.onnx or FILE.c
//   importance PROJECT [-o FILE]    each input's permutation importance, printed or as CSV
//   --version, --help               the program's name and version, the usage
// Text on `out` and `err` is UTF-8. During `train`, Ctrl-C stops the run after the epoch in
// progress (the project is still saved); a second Ctrl-C ends the program at once.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace nirvex
