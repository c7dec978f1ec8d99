#include "runtime/system_facts.h"

#include <atomic>

namespace tavrel {
namespace {
std::atomic<SystemFactsApi*> g_facts{nullptr};
}  // namespace

SystemFactsApi& CurrentSystemFactsApi() {
  SystemFactsApi* api = g_facts.load();
  return api ? *api : platform::DefaultSystemFactsApi();
}

void InstallSystemFactsApi(SystemFactsApi* api) { g_facts.store(api); }

}  // namespace tavrel
