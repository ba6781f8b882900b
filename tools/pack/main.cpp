// zembra-pack: appends a content package to the saver and lists packages.
//
//   zembra-pack build --saver ZembraSaver.scr --manifest saver.ini --output My.scr [--key N]
//   zembra-pack list My.scr [--codepage N]
//   zembra-pack encode TEXT [--filler P] [--key K] [--rotate N]
//
// Exit codes: 0 ok, 1 usage, 2 input or manifest error (or a damaged
// package for list), 3 I/O error.
#include "package/uExeAdder.h"
#include "tools/pack/uCodePage.h"
#include "tools/pack/uManifest.h"
#include "tools/pack/uPackError.h"
#include "tools/pack/uPackageInspector.h"
#include "tools/pack/uPackageWriter.h"
#include "util/uUtils.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace zembra;

const char* const kUsage =
    "usage:\n"
    "  zembra-pack build --saver SAVER.scr --manifest MANIFEST.ini --output OUT.scr [--key N]\n"
    "  zembra-pack list FILE [--codepage N]\n"
    "  zembra-pack encode TEXT [--filler P] [--key K] [--rotate N]\n";

[[noreturn]] void Usage(const std::string& What) {
    throw TPackError(ecUsage, What + "\n" + kUsage);
}

// "--name value" pairs after the positional arguments.
std::map<std::string, std::string> Options(const std::vector<std::string>& Args, std::size_t From,
                                           const std::vector<std::string>& Allowed) {
    std::map<std::string, std::string> r;
    for (std::size_t i = From; i < Args.size(); i += 2) {
        const std::string& name = Args[i];
        bool known = false;
        for (const std::string& a : Allowed)
            known = known || a == name;
        if (!known)
            Usage("unknown option '" + name + "'");
        if (i + 1 >= Args.size())
            Usage("option '" + name + "' needs a value");
        if (r.count(name) != 0)
            Usage("option '" + name + "' given twice");
        r[name] = Args[i + 1];
    }
    return r;
}

uint32_t OptionNumber(const std::map<std::string, std::string>& Opts, const std::string& Name,
                      uint32_t Default, uint32_t Max) {
    auto it = Opts.find(Name);
    if (it == Opts.end())
        return Default;
    int32_t v = 0;
    if (!ParseNumberValue(it->second, v) || static_cast<uint32_t>(v) > Max ||
        (v < 0 && it->second[0] == '-'))
        Usage("option '" + Name + "' must be a number from 0 to " + std::to_string(Max));
    return static_cast<uint32_t>(v);
}

int Build(const std::vector<std::string>& Args) {
    const auto opts = Options(Args, 2, {"--saver", "--manifest", "--output", "--key"});
    for (const char* required : {"--saver", "--manifest", "--output"})
        if (opts.count(required) == 0)
            Usage(std::string("build needs ") + required);
    const uint32_t key = OptionNumber(opts, "--key", kDefaultNameKey, 0xFFFFFFFFu);
    const TManifest manifest = LoadManifest(opts.at("--manifest"));
    const std::vector<TPackageItem> items = ManifestItems(manifest);
    const std::vector<unsigned char> package = EncodePackage(items, key);
    const TPackedSaver packed =
        WritePackagedSaver(opts.at("--saver"), package, opts.at("--output"));
    std::printf("%s: %zu items, package of %zu bytes\n", opts.at("--output").c_str(), items.size(),
                package.size());
    if (packed.SignatureRemoved)
        std::fprintf(stderr,
                     "zembra-pack: %s was signed; its signature was removed: sign %s again\n",
                     opts.at("--saver").c_str(), opts.at("--output").c_str());
    return ecOk;
}

int List(const std::vector<std::string>& Args) {
    if (Args.size() < 3 || Args[2].compare(0, 2, "--") == 0)
        Usage("list needs exactly one file");
    const auto opts = Options(Args, 3, {"--codepage"});
    const uint32_t codePage = OptionNumber(opts, "--codepage", kDefaultCodePage, 0xFFFF);
    // Texts are printed in UTF-8, decoded from the code page the saver reads
    // them in.
    const std::unique_ptr<TCodePage> page = TCodePage::Open(codePage);
    if (!page)
        throw TPackError(ecUsage, "code page " + std::to_string(codePage) +
                                      " cannot be converted on this system");
    const std::string& file = Args[2];
    TFileReadStream stream(file);
    if (!stream.IsOpen())
        throw TPackError(ecIo, file + ": cannot open");
    const TInspection inspection = InspectPackage(stream);
    const std::string text = FormatInspection(inspection, file, page.get());
    if (inspection.State == TPackageState::Damaged) {
        std::fputs(text.c_str(), stderr);
        return ecInput;
    }
    std::fputs(text.c_str(), stdout);
    return ecOk;
}

int Encode(const std::vector<std::string>& Args) {
    if (Args.size() < 3)
        Usage("encode needs a text");
    const auto opts = Options(Args, 3, {"--filler", "--key", "--rotate"});
    const auto p = static_cast<uint8_t>(OptionNumber(opts, "--filler", 2, 0xFF));
    const auto k = static_cast<uint8_t>(OptionNumber(opts, "--key", 0x5A, 0xFF));
    const uint32_t n = OptionNumber(opts, "--rotate", 0, 0xFFFFFFFFu);
    std::printf("%s\n", EncodeHexText(Args[2], p, k, n).c_str());
    return ecOk;
}

int Run(const std::vector<std::string>& Args) {
    if (Args.size() < 2)
        Usage("no command given");
    const std::string& command = Args[1];
    if (command == "build")
        return Build(Args);
    if (command == "list")
        return List(Args);
    if (command == "encode")
        return Encode(Args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return ecOk;
    }
    Usage("unknown command '" + command + "'");
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv, argv + argc));
    } catch (const TPackError& e) {
        std::fprintf(stderr, "zembra-pack: %s\n", e.what());
        return e.Code();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zembra-pack: out of memory\n");
        return ecIo;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zembra-pack: %s\n", e.what());
        return ecIo;
    }
}
