// The item names the saver understands and the form each one's value has.
#pragma once

#include <string>

namespace zembra {

enum class TItemForm { Unknown, Flag, Number, Text, File };

constexpr const char* kExtraFileNamePrefix = "ExtraFileName";
constexpr const char* kExtraFileDataPrefix = "ExtraFileData";
constexpr const char* kExtraFileCountName = "ExtraFileCount";

// The form of a package item by its name, indexed extra-file items
// included; Unknown for any other name.
TItemForm ItemFormOf(const std::string& Name);

// True for a name followed by a decimal index, e.g. "ExtraFileName3".
bool IsIndexedName(const std::string& Name, const std::string& Prefix);

} // namespace zembra
