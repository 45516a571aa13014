// Shared pieces of the kestrum command-line tool.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kestrum/kestrum.h"

namespace cli {

// Exit codes.
constexpr int kOk = 0;
constexpr int kFailed = 1; // the command could not do what was asked
constexpr int kUsage = 2;  // the command line itself is wrong

// Prints "kestrum: <message>" to standard error and returns the code.
int Fail(int code, const std::string& message);

// Positional arguments and --name value options of one command.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> flags;

    std::optional<std::string> Option(const std::string& name) const;
    bool Flag(const std::string& name) const;
};

// Splits the words after the command; options listed in valueOptions take a
// value, those in flagOptions stand alone. Unknown options are an error.
std::optional<Arguments> Parse(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions,
                               const std::vector<std::string>& flagOptions, std::string* error);

// "icon", "cursor", ... to the type code, and back.
std::optional<DWORD> TypeFromName(const std::string& name);
std::string TypeName(DWORD type);
// The type whose usual file extension this is (".ico", ".jpg", ...).
std::optional<DWORD> TypeFromExtension(const std::string& path);

// An ID in decimal or 0x-prefixed hexadecimal.
std::optional<DWORD> ParseId(const std::string& text);
std::string FormatId(DWORD id);

// Writes the item's bytes to OUT with its Save as; a message when they did
// not all land there.
int SaveItemAs(CZELResItem& item, const std::string& out);

int RunLib(const std::vector<std::string>& words);
int RunDb(const std::vector<std::string>& words);

} // namespace cli
