// Which player control plays the movie: the one installed on the machine or
// the built-in one, as the package's Player item asks and the machine
// allows. Portable.
#pragma once

#include <string>

namespace zembra {

// The package's wish. A package without the item means Auto.
enum class TPlayerKind { Auto, System, Builtin };

// "auto", "system" or "builtin", letter case and surrounding blanks
// ignored. False (Kind untouched) for any other text.
bool ParsePlayerKind(const std::string& Text, TPlayerKind& Kind);

// What the main window hosts.
enum class TPlayerUse { None, Installed, Builtin };

// Auto: the installed player when it can be created and is at least the
// package's required version, else the built-in one. System: the installed
// player whenever it can be created (its version is checked before the
// movie is handed over, as always), else none. Builtin: always ours.
TPlayerUse ChoosePlayer(TPlayerKind Kind, bool InstalledCreatable, bool InstalledRecentEnough);

} // namespace zembra
