#include "tests/support/win32/test_root_store.h"

#include <wincrypt.h>

#include <cstdio>

namespace tavrel::testing {
namespace {

constexpr DWORD kEncodedCertificateProperty = 32;
constexpr char kRootCertificates[] = "Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";

// The store keeps each certificate under its SHA-1 thumbprint in upper-case
// hexadecimal.
std::string ThumbprintKey(const std::vector<BYTE>& der) {
  BYTE hash[20];
  DWORD size = sizeof hash;
  if (der.empty() || !::CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()), hash, &size))
    return {};
  std::string key = kRootCertificates;
  char digits[3];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", hash[i]);
    key += digits;
  }
  return key;
}

// The value the store writes: a property record of the encoded certificate
// (property 32, a reserved 1, the length, then the DER bytes).
std::vector<BYTE> CertificateBlob(const std::vector<BYTE>& der) {
  std::vector<BYTE> blob;
  auto put32 = [&blob](DWORD v) {
    for (int i = 0; i < 4; ++i) blob.push_back(static_cast<BYTE>(v >> (8 * i)));
  };
  put32(kEncodedCertificateProperty);
  put32(1);
  put32(static_cast<DWORD>(der.size()));
  blob.insert(blob.end(), der.begin(), der.end());
  return blob;
}

}  // namespace

RootStoreLock::RootStoreLock() : mutex_(::CreateMutexW(nullptr, FALSE, L"Global\\TavrelTestRootStore")) {
  if (!mutex_) return;
  DWORD r = ::WaitForSingleObject(mutex_.Get(), 120000);
  held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

RootStoreLock::~RootStoreLock() {
  if (held_) ::ReleaseMutex(mutex_.Get());
}

std::vector<BYTE> ReadCertificate(const std::string& path) {
  std::vector<BYTE> der;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return der;
  BYTE buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) der.insert(der.end(), buffer, buffer + n);
  std::fclose(f);
  return der;
}

TrustedRoot::TrustedRoot(std::vector<BYTE> der) : keyPath_(ThumbprintKey(der)) {
  if (keyPath_.empty()) return;
  HKEY created = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
    return;
  const win32::UniqueHkey key(created);
  std::vector<BYTE> blob = CertificateBlob(der);
  trusted_ =
      ::RegSetValueExA(key.Get(), "Blob", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())) == ERROR_SUCCESS;
}

TrustedRoot::~TrustedRoot() {
  if (!keyPath_.empty()) ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath_.c_str());
}

bool EnsureRootNotTrusted(const std::vector<BYTE>& der) {
  std::string keyPath = ThumbprintKey(der);
  if (keyPath.empty()) return false;
  LONG r = ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

}  // namespace tavrel::testing
