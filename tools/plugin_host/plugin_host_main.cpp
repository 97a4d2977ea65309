// plugin-host: runs the office viewer plug-in outside the browser. See
// usageText() for what it does and prints.
#include <cstdio>
#include <string>

#include "tools/plugin_host/host_options.h"
#include "tools/plugin_host/host_session.h"

int main(int argc, char** argv) {
    plugin_host::Options options;
    std::string error;
    if (!plugin_host::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "plugin-host: %s\nTry 'plugin-host --help'.\n", error.c_str());
        return plugin_host::EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(plugin_host::usageText(), stdout);
        return 0;
    }
    plugin_host::HostSession session(options, stdout);
    return session.run();
}
