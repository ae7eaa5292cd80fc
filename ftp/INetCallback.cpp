#include "ftp/INetCallback.h"

#include <unordered_map>

namespace INetCallback {
namespace {

struct Registry {
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
  auto& objects = TheRegistry().objects;
  auto found = objects.find(context);
  return found == objects.end() ? nullptr : found->second;
}

uintptr_t RegisterContext(IInetStatus* object) {
  Registry& registry = TheRegistry();
  uintptr_t context = registry.next++;
  registry.objects[context] = object;
  return context;
}

void UnregisterContext(uintptr_t context) {
  TheRegistry().objects.erase(context);
}

}  // namespace INetCallback
