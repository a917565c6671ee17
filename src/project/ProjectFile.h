#pragma once

#include "project/Messages.h"
#include "sample/FieldName.h"

#include <functional>
#include <string>
#include <string_view>

namespace nirvex {

class TWizard;
class TIniFile;

// fileName with its extension (from the last "." after the last "/" or "\") replaced by ".qvx",
// or ".qvx" appended when it has none.
std::string ProjectFileName(const std::string& fileName);

// Writes the project for the wizard's current State into fileName with its extension replaced
// by ".qvx" (added when there is none), and returns that name. The whole new content is built
// before anything is written and replaces the file atomically; sections this save does not
// write are kept from the existing file. A failed save leaves the old file as it was.
std::string SaveProject(TWizard& wizard, const std::string& fileName);

// Lets `wizard` open a project named as its sample (page 1's "Далее >>", or a project naming
// another project as its sample).
void AttachProjectFiles(TWizard& wizard);

// Reads a project and restores the pages up to the saved one by replaying their forward steps.
// A failure ends the load at its step; what earlier steps restored stays. A key the file lacks takes
// the value the page would propose (a project that names no field keeps the load's roles); a real or
// a check mark that is no number (nor true, false, yes, no for a check mark) is refused. The load
// says in the wizard's Notices, and leaves the project modified, when the sample is found beside the
// project instead of where it was, and when a project that names fields leaves columns of the sample
// unnamed (they are not used) or names one that no column has.
void LoadProject(TWizard& wizard, const std::string& fileName);

// After LoadProject of `fileName`: a project that stored no record order gets the one its load drew
// (the keys "Idexing" and "IND_INIT" are added, nothing else changes), so every later load splits
// the records the same way. Returns whether it wrote; a failed write raises.
bool KeepDrawnRecordOrder(const TWizard& wizard, const std::string& fileName);

// The two halves over an INI object already in memory. WriteProject does every conversion before
// it changes `ini`, so a failure leaves `ini` untouched. LoadProjectFromIni takes the project's
// own directory from ini.FileName().
void WriteProject(const TWizard& wizard, TIniFile& ini);
void LoadProjectFromIni(TWizard& wizard, const TIniFile& ini);

// The sample a project names, as the load will open it: the name itself when that file exists,
// otherwise the file of the same base name (after the last "\", "/" or ":") in the project file's
// directory when that one exists, otherwise the name unchanged (so the load fails with its message).
std::string ResolveSampleName(const std::string& sampleName, const std::string& projectFileName);

// "Сохранить как": an empty name (the dialog was cancelled) does nothing and returns false;
// otherwise saves, clears PageChanged and Modified, and makes the saved file the project's file. A
// failed save raises and leaves all as it was.
bool StoreProject(TWizard& wizard, const std::string& chosenName);
// "Сохранить": into the project's own file when it has one (opened or saved before), otherwise as
// "Сохранить как" with the name `askFileName` gives.
bool StoreOwnProject(TWizard& wizard, const std::function<std::string()>& askFileName);

enum class TCloseAnswer { Yes, No, Cancel };
// The close question once answered; returns whether the window may close. Yes saves as
// StoreOwnProject does (a cancelled dialog keeps the window, nothing changes) and closes; No
// closes; Cancel keeps the window and changes nothing, so a running load, prediction or training
// goes on. No and a successful Yes set StopRequested. A failed save raises: the window stays open
// and StopRequested is not set.
bool AnswerCloseQuestion(TWizard& wizard, TCloseAnswer answer, const std::function<std::string()>& askFileName);

} // namespace nirvex
