// Linked into every test that builds a umockdev test bed: the test bed
// checks devices through the /sys that umockdev's preload library
// redirects, so the process must run with that library. Started without it,
// the process starts itself again with it, before anything else runs. The
// library stays loaded; the variable is taken out of the environment so that
// helpers the test starts (a sound server) run unredirected, and a program
// meant to see the test bed gets it back explicitly (UmockdevPreload()).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr char kPreload[] = "libumockdev-preload.so.0";

std::vector<std::string> commandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = all.find('\0', start)) != std::string::npos;
         start = end + 1)
        args.push_back(all.substr(start, end - start));
    return args;
}

const bool underUmockdev = [] {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "libumockdev-preload")) {
        unsetenv("LD_PRELOAD");
        return true;
    }
    std::string value = kPreload;
    if (preload && *preload)
        value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    std::vector<std::string> args = commandLine();
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    std::perror("starting again under umockdev");
    std::_Exit(1);
}();

}  // namespace
