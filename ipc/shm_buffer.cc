#include "ipc/shm_buffer.h"

#include <cstdlib>

namespace ipc {

void FreeBuffer(void* address) { std::free(address); }

}  // namespace ipc
