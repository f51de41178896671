#include "module.h"

#include <atomic>
#include <vector>

namespace tesvar::module {
namespace {

// The only two pieces of process-wide state of the server.
HMODULE g_module = nullptr;
std::atomic<long> g_locks{0};

}  // namespace

HMODULE Handle() { return g_module; }
void SetHandle(HMODULE handle) { g_module = handle; }

void Lock() { ++g_locks; }
void Unlock() { --g_locks; }
bool CanUnload() { return g_locks.load() == 0; }

std::wstring Path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(g_module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tesvar::module
