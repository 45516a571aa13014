// kestrum: work with resource library archives and shared resource databases
// from the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "apps/kestrum/cli.h"

namespace {

const char kUsageText[] =
    "usage:\n"
    "  kestrum lib list FILE\n"
    "  kestrum lib add FILE PATH --type TYPE [--name NAME] [--keyword KEYWORD]\n"
    "  kestrum lib extract FILE ID OUT\n"
    "  kestrum lib remove FILE ID\n"
    "  kestrum lib render FILE ID OUT.png [--size WxH] [--cut]\n"
    "  kestrum db init FILE\n"
    "  kestrum db add FILE PATH --type TYPE [--name NAME] [--keyword KEYWORD]\n"
    "  kestrum db list FILE [--type TYPE] [--keyword KEYWORD]\n"
    "  kestrum db export FILE ID OUT\n"
    "  kestrum db remove FILE ID\n"
    "  kestrum db import FILE DIR\n"
    "TYPE is one of icon, cursor, image, gif, video, html, flash.\n"
    "A library FILE holds the archive of one resource library; a database FILE\n"
    "is a shared resource database (Resource.mdb).\n";

} // namespace

int main(int argc, char** argv)
{
    InitKestrumDLL();
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        std::fputs(kUsageText, words.empty() ? stderr : stdout);
        return words.empty() ? cli::kUsage : cli::kOk;
    }
    std::string group = words[0];
    words.erase(words.begin());
    if (group == "lib")
        return cli::RunLib(words);
    if (group == "db")
        return cli::RunDb(words);
    std::fputs(kUsageText, stderr);
    return cli::Fail(cli::kUsage, "unknown command '" + group + "'");
}
