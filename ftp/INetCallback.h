#pragma once

#include <cstdint>

#include "ftp/IInetStatus.h"

// Routes the backend's status notifications back to the object that made the request. Each object
// registers itself and passes the returned context with its requests; a notification whose context is 0,
// or whose object no longer exists, is dropped. Objects may live on several threads; each gets its
// notifications on its own.
namespace INetCallback {

// The function handed to the backend. Never throws: anything a receiver throws is swallowed, so that the
// request in progress goes on.
void InetStatusCallback(uintptr_t hInternet, uintptr_t dwContext, int32_t dwInternetStatus,
                        const void* lpvStatusInformation, int32_t dwStatusInformationLength);

// The live object registered under `context`, or nullptr. The object is not owned by the caller.
IInetStatus* ObjectFromContext(uintptr_t context);

// Registers `object` (not owned; it must unregister before it dies) and returns its context, never 0.
uintptr_t RegisterContext(IInetStatus* object);
void UnregisterContext(uintptr_t context);

}  // namespace INetCallback
