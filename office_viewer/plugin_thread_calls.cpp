#include "office_viewer/plugin_thread_calls.h"

#include <map>
#include <mutex>

namespace PluginThreadCalls {

namespace {
std::mutex gMutex;
Token gNextToken = 1;

std::map<Token, CRavudaRovudeZazizu*> gInstances;

std::map<Token, CRavudaRovudeZazizu*>& instances() { return gInstances; }
}  // namespace

Token registerInstance(CRavudaRovudeZazizu* plugin) {
    std::lock_guard<std::mutex> lock(gMutex);
    Token token = gNextToken++;
    instances()[token] = plugin;
    return token;
}

void unregisterInstance(Token token) {
    std::lock_guard<std::mutex> lock(gMutex);
    instances().erase(token);
}

CRavudaRovudeZazizu* lookup(Token token) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = instances().find(token);
    return it == instances().end() ? nullptr : it->second;
}

}  // namespace PluginThreadCalls
