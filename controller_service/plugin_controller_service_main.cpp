// plugin-controller-service: the plug-in controller stand-in as a daemon.
// Serves until SIGINT or SIGTERM and prints every request it receives.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controller_service/plugin_controller_service.h"
#include "ipc/orca_browser_plugin.h"

namespace {

volatile sig_atomic_t gStop = 0;

void onSignal(int) { gStop = 1; }

void usage(FILE* to) {
    std::fprintf(to,
                 "Usage: plugin-controller-service [options]\n"
                 "Stand-in for the browser's plug-in controller (OrcaBrowserPlugin 1.0).\n"
                 "\n"
                 "  --role NAME           role to serve (default BrowserPluginCtrl)\n"
                 "  --runtime-dir DIR     socket directory (default $QV_ZETA_RUNTIME_DIR,\n"
                 "                        else /tmp/zeta-<uid>)\n"
                 "  --result N            result code of every answer (default 0)\n"
                 "  --answer-type CODE    type code of the answers: 512 (default), 513, 516\n"
                 "  --config-path PATH    configuration path sent after a subscription\n"
                 "  --invalid-config-path send the configuration path as invalid\n"
                 "  --stop-reading-after N  read nothing more once N requests arrived\n"
                 "                        (a controller that hangs)\n"
                 "  --help                this text\n");
}

void print(const CPluginControllerService::Request& request) {
    std::printf("%s instance=%u", OrcaBrowserPlugin::toString(static_cast<OrcaBrowserPlugin::UpdateIdEnum>(
                                      request.updateId)),
                request.instanceId);
    if (!request.description.empty() || !request.mimeDescription.empty()) {
        std::printf(" description=\"%s\" mime=\"%s\"", request.description.c_str(), request.mimeDescription.c_str());
    }
    for (const auto& pair : request.parameters) std::printf(" %s=\"%s\"", pair.first.c_str(), pair.second.c_str());
    for (std::int32_t value : request.values) std::printf(" %d", value);
    if (!request.data.empty()) std::printf(" data=\"%s\"", request.data.c_str());
    if (request.malformed) std::printf(" (malformed)");
    std::printf("\n");
    std::fflush(stdout);
}

bool number(const char* text, std::uint32_t& value) {
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text, &end, 0);
    if (end == text || *end != '\0') return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string role = "BrowserPluginCtrl";
    std::string configPath = "/etc/browser/plugins.conf";
    bool configValid = true;
    std::uint32_t result = 0, answerType = 512, readLimit = 0;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--help") {
            usage(stdout);
            return 0;
        } else if (option == "--role" && hasValue) {
            role = argv[++i];
        } else if (option == "--runtime-dir" && hasValue) {
            setenv("QV_ZETA_RUNTIME_DIR", argv[++i], 1);
        } else if (option == "--result" && hasValue && number(argv[i + 1], result)) {
            ++i;
        } else if (option == "--answer-type" && hasValue && number(argv[i + 1], answerType)) {
            ++i;
        } else if (option == "--config-path" && hasValue) {
            configPath = argv[++i];
        } else if (option == "--stop-reading-after" && hasValue && number(argv[i + 1], readLimit)) {
            ++i;
        } else if (option == "--invalid-config-path") {
            configValid = false;
        } else {
            std::fprintf(stderr, "plugin-controller-service: bad option %s\n", option.c_str());
            usage(stderr);
            return 2;
        }
    }

    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    CPluginControllerService service(role);
    service.setResult(result);
    service.setAnswerTypeCode(answerType);
    service.setConfigPath(configPath, configValid);
    service.setObserver(print);
    service.stopReadingAfter(readLimit);
    if (!service.start()) {
        std::fprintf(stderr, "plugin-controller-service: can't listen as OrcaBrowserPlugin.%s: %s\n", role.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::printf("listening at %s\n", service.socketPath().c_str());
    std::fflush(stdout);
    while (!gStop) pause();
    service.stop();
    return 0;
}
