#include "tools/pack/uItemNames.h"

#include <cstring>

namespace zembra {

namespace {

struct TNamedForm {
    const char* Name;
    TItemForm Form;
};

constexpr TNamedForm kForms[] = {
    {"GUID", TItemForm::Text},
    {"Loop", TItemForm::Flag},
    {"StretchToFit", TItemForm::Flag},
    {"RightClick", TItemForm::Flag},
    {"Menu", TItemForm::Flag},
    {"Quality", TItemForm::Number},
    {"FlashVars", TItemForm::Text},
    {"BackgroundColor", TItemForm::Number},
    {"MovieFileName", TItemForm::Text},
    {"Movie", TItemForm::File},
    {"ThrottlePreview", TItemForm::Flag},
    {"RequiredVersion", TItemForm::Text},
    {"ExtraFileCount", TItemForm::Number},
    {"ExitOnMouseMove", TItemForm::Flag},
    {"ExitOnKeyDown", TItemForm::Flag},
    {"ShowCursor", TItemForm::Flag},
    {"Layout", TItemForm::Number},
    {"Player", TItemForm::Text},
    {"AboutCaption", TItemForm::Text},
    {"AboutLinkText", TItemForm::Text},
    {"AboutLinkURL", TItemForm::Text},
    {"AboutCloseButton", TItemForm::Flag},
    {"AboutImage", TItemForm::File},
};

} // namespace

bool IsIndexedName(const std::string& Name, const std::string& Prefix) {
    if (Name.size() <= Prefix.size() || Name.compare(0, Prefix.size(), Prefix) != 0)
        return false;
    for (std::size_t i = Prefix.size(); i < Name.size(); ++i)
        if (Name[i] < '0' || Name[i] > '9')
            return false;
    return true;
}

TItemForm ItemFormOf(const std::string& Name) {
    for (const TNamedForm& f : kForms)
        if (Name == f.Name)
            return f.Form;
    if (IsIndexedName(Name, kExtraFileNamePrefix))
        return TItemForm::Text;
    if (IsIndexedName(Name, kExtraFileDataPrefix))
        return TItemForm::File;
    return TItemForm::Unknown;
}

} // namespace zembra
