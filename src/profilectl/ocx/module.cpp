#include "module.h"

#include <atomic>

#include "win32/module.h"
#include "win32/wide.h"

namespace tesvar::module {
namespace {

// Two of the three pieces of process-wide state of the server; the third is the type
// information its objects share (type_dispatch.cpp).
HMODULE g_module = nullptr;
std::atomic<long> g_locks{0};

}  // namespace

HMODULE Handle() { return g_module; }
void SetHandle(HMODULE handle) { g_module = handle; }

void Lock() { ++g_locks; }
void Unlock() { --g_locks; }
bool CanUnload() { return g_locks.load() == 0; }

std::wstring Path() {
  std::u16string path;
  if (FAILED(win::GetModulePath(g_module, path))) return {};
  return std::wstring(win::WideView(path));
}

}  // namespace tesvar::module
