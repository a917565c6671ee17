#pragma once

#include <string>

namespace nirvex {

class TWizard;

// Writes the project for the wizard's current State into fileName with its extension replaced
// by ".qvx" (added when there is none), and returns that name. The whole new content is built
// before anything is written and replaces the file atomically; sections this save does not
// write are kept from the existing file. A failed save leaves the old file as it was.
std::string SaveProject(TWizard& wizard, const std::string& fileName);

// Reads a project and restores the pages up to the saved one by replaying their forward steps.
// A failure ends the load at its step; what earlier steps restored stays.
void LoadProject(TWizard& wizard, const std::string& fileName);

} // namespace nirvex
