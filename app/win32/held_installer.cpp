#include "app/win32/held_installer.h"

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstring>
#include <utility>
#include <vector>

namespace tavrel::app {
namespace {

// WinVerifyTrust keeps state between its verify and close calls; the close
// must follow every verify, whatever the verify answered.
class TrustState {
 public:
  TrustState(const std::wstring& path, HANDLE file) {
    file_.cbStruct = sizeof file_;
    file_.pcwszFilePath = path.c_str();
    file_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    ::WinVerifyTrust(NoWindow(), &action, &data_);
  }

  LONG Verify() {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return ::WinVerifyTrust(NoWindow(), &action, &data_);
  }

  // The certificate chain WinVerifyTrust built for the first signer.
  PCCERT_CHAIN_CONTEXT SignerChain() const {
    if (!data_.hWVTStateData) return nullptr;
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
    if (!provider) return nullptr;
    CRYPT_PROVIDER_SGNR* signer = ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    return signer ? signer->pChainContext : nullptr;
  }

 private:
  // No interactive user to ask, whatever the UI choice.
  static HWND NoWindow() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

  WINTRUST_FILE_INFO file_{};
  WINTRUST_DATA data_{};
};

InstallerVerdict VerdictOfTrustStatus(LONG status) {
  switch (static_cast<HRESULT>(status)) {
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN:
    case TRUST_E_PROVIDER_UNKNOWN: return InstallerVerdict::Unsigned;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_CHAINING:
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING:
    case CERT_E_REVOKED:
    case TRUST_E_EXPLICIT_DISTRUST: return InstallerVerdict::UntrustedChain;
    case CERT_E_WRONG_USAGE: return InstallerVerdict::NotForCodeSigning;
    default: return InstallerVerdict::BadSignature;
  }
}

// Revocation is not checked, so a chain may say its revocation is unknown;
// any other error bit means it is not a valid chain to a trusted root.
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

InstallerVerdict VerdictOfChain(PCCERT_CHAIN_CONTEXT chain) {
  if (!chain || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return InstallerVerdict::UntrustedChain;
  DWORD errors = chain->TrustStatus.dwErrorStatus & ~kRevocationUnknown;
  if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return InstallerVerdict::NotForCodeSigning;
  if (errors != 0) return InstallerVerdict::UntrustedChain;

  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain, &policy, &status))
    return InstallerVerdict::UntrustedChain;
  if (status.dwError == static_cast<DWORD>(CERT_E_WRONG_USAGE)) return InstallerVerdict::NotForCodeSigning;
  if (status.dwError != 0) return InstallerVerdict::UntrustedChain;
  return InstallerVerdict::Genuine;
}

// Only the certificate's own extension counts: a certificate without one
// may be meant for anything, and an installer's signer must say code.
bool AllowsCodeSigning(PCCERT_CONTEXT certificate) {
  DWORD size = 0;
  if (!::CertGetEnhancedKeyUsage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size) || size == 0)
    return false;
  std::vector<std::uint64_t> storage((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(storage.data());
  if (!::CertGetEnhancedKeyUsage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) return false;
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
    if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_CODE_SIGNING) == 0) return true;
  return false;
}

// The first attribute of the type in the subject, with every character the
// certificate holds (an embedded zero stays and so fails the comparison).
std::wstring SubjectAttribute(PCCERT_CONTEXT certificate, const char* oid) {
  void* type = const_cast<char*>(oid);
  DWORD n = ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, nullptr, 0);
  if (n <= 1) return {};
  std::wstring value(n, L'\0');
  n = ::CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, value.data(), n);
  value.resize(n > 0 ? n - 1 : 0);
  return value;
}

bool NamedAs(PCCERT_CONTEXT certificate, std::wstring_view expected) {
  return !expected.empty() && SubjectAttribute(certificate, szOID_ORGANIZATION_NAME) == expected &&
         SubjectAttribute(certificate, szOID_COMMON_NAME) == expected;
}

}  // namespace

HeldInstaller::HeldInstaller(std::wstring path) : path_(std::move(path)) {
  file_.Reset(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
  if (file_) return;
  openError_ = ::GetLastError();
  switch (openError_) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: openVerdict_ = InstallerVerdict::Missing; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: openVerdict_ = InstallerVerdict::Busy; break;
    default: openVerdict_ = InstallerVerdict::Unreadable;
  }
}

InstallerVerdict HeldInstaller::Verify(std::wstring_view expectedSigner) {
  genuine_ = false;
  if (!file_) return openVerdict_;
  TrustState state(path_, file_.Get());
  lastStatus_ = state.Verify();
  if (lastStatus_ != ERROR_SUCCESS) return VerdictOfTrustStatus(lastStatus_);

  // The platform's own answer is not enough: some versions check the digest
  // but not whether the chain leads anywhere trusted.
  PCCERT_CHAIN_CONTEXT chain = state.SignerChain();
  InstallerVerdict verdict = VerdictOfChain(chain);
  if (verdict != InstallerVerdict::Genuine) return verdict;
  PCCERT_CONTEXT signer = chain->rgpChain[0]->rgpElement[0]->pCertContext;
  if (!AllowsCodeSigning(signer)) return InstallerVerdict::NotForCodeSigning;
  if (!NamedAs(signer, expectedSigner)) return InstallerVerdict::WrongSigner;
  genuine_ = true;
  return InstallerVerdict::Genuine;
}

bool HeldInstaller::Start() {
  if (!file_ || !genuine_) return false;
  std::wstring commandLine = L"\"" + path_ + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  // The application name is given too, so the path is never searched for
  // or split at a blank.
  BOOL created = ::CreateProcessW(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info);
  file_.Reset();
  if (!created) return false;
  tavrel::win32::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  ::WaitForInputIdle(process.Get(), 1000);
  return true;
}

}  // namespace tavrel::app
