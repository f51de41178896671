#pragma once
// The server module: its handle and the one count that DllCanUnloadNow answers from,
// which every live object, every IClassFactory::LockServer lock and every open about
// form holds.
#include <windows.h>

#include <string>

namespace tesvar::module {

HMODULE Handle();
void SetHandle(HMODULE handle);

void Lock();
void Unlock();
bool CanUnload();

// The full path of the server file.
std::wstring Path();

}  // namespace tesvar::module
