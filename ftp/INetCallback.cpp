#include "ftp/INetCallback.h"

#include <mutex>
#include <unordered_map>

namespace INetCallback {
namespace {

// Objects on several threads register at once; each object's notifications come on its own thread.
struct Registry {
  std::mutex mutex;
  std::unordered_map<uintptr_t, IInetStatus*> objects;
  uintptr_t next = 1;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void InetStatusCallback(uintptr_t, uintptr_t dwContext, int32_t dwInternetStatus,
                        const void* lpvStatusInformation, int32_t dwStatusInformationLength) {
  try {
    IInetStatus* object = ObjectFromContext(dwContext);
    if (object != nullptr)
      object->CallbackFunc(dwInternetStatus, lpvStatusInformation, dwStatusInformationLength);
  } catch (...) {
    // A notification must never break the request that caused it.
  }
}

IInetStatus* ObjectFromContext(uintptr_t context) {
  if (context == 0) return nullptr;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.objects.find(context);
  return found == registry.objects.end() ? nullptr : found->second;
}

uintptr_t RegisterContext(IInetStatus* object) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  uintptr_t context = registry.next++;
  registry.objects[context] = object;
  return context;
}

void UnregisterContext(uintptr_t context) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.objects.erase(context);
}

}  // namespace INetCallback
