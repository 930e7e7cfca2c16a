#pragma once
#include <string>

namespace vexo {

// The folder of the running program's executable, without a trailing separator.
std::string ExecutableFolder();

// Where a Kestrel program keeps its settings file, its log files and the USB id database. A copy run from a
// folder it can write (unpacked or built by hand) keeps them beside itself, as it always did; an installed
// one cannot, so they go to $XDG_CONFIG_HOME/kestrel, by default ~/.config/kestrel, created when missing.
// A folder under /usr belongs to the package manager and is never written, even by root.
std::string SettingsFolder(const std::string& AExecutableFolder);

// SettingsFolder for the running program.
std::string SettingsFolder();

} // namespace vexo
