// Winsock before anything that includes windows.h.
#include <winsock2.h>

#include <type_traits>

#include "host/unique_handles.h"

namespace lanternquill {

static_assert(std::is_same_v<SocketTraits::Handle, SOCKET> &&
              SocketTraits::kEmpty == INVALID_SOCKET);

void SocketTraits::Close(UINT_PTR socket) { ::closesocket(socket); }

}  // namespace lanternquill
