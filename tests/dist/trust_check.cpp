// What Windows answers about the Authenticode signatures of files:
//
//   trust_check CERT.der FILE...
//
// Adds CERT (DER) to the current user's trusted root certificates for the run, asks
// WinVerifyTrust (WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface, no revocation
// check) about each FILE and prints its answer as "0xXXXXXXXX FILE", one a line; the
// certificate is removed again at the end. Exit status 0 when every answer was given,
// 2 when the certificate could not be added.
#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "wine/support/program.h"

namespace {

LONG VerifyFile(const std::wstring& path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG answer = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return answer;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: trust_check CERT.der FILE...\n");
    return 64;
  }
  std::ifstream in(wine_test::WindowsPath(argv[1]), std::ios::binary);
  const std::vector<BYTE> der{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  PCCERT_CONTEXT added = nullptr;
  if (root == nullptr || der.empty() ||
      !CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                        CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
    std::fprintf(stderr, "trust_check: the certificate could not be added to the trusted roots (error %lu)\n",
                 GetLastError());
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const std::wstring path = wine_test::WindowsPath(argv[i]).wstring();
    std::printf("0x%08lx %s\n", static_cast<unsigned long>(VerifyFile(path)), wine_test::Utf8(argv[i]).c_str());
  }
  CertDeleteCertificateFromStore(added);  // also frees the context
  CertCloseStore(root, 0);
  return 0;
}
