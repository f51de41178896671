// The addresses of the version check, fixed when the program is built. This file is a
// library of its own (mendora_endpoints in cmake/Mendora.cmake): the shipping program
// links it with the studio's addresses, the Wine tests' Mendora.exe with the loopback
// version service.
#include "update/version_check.h"

#if !defined(MENDORA_VERSION_URL) || !defined(MENDORA_DOWNLOAD_BASE)
#error "MENDORA_VERSION_URL and MENDORA_DOWNLOAD_BASE are set by the build"
#endif

namespace update {

constexpr std::u16string_view kVersionEndpoint = u"" MENDORA_VERSION_URL;
constexpr std::u16string_view kDownloadPageBase = u"" MENDORA_DOWNLOAD_BASE;

}  // namespace update
