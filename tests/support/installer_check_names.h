// Readable names of the installer check's answers, for the probe program's
// output and the tests' messages.
#pragma once

#include <string>

#include "app/installer_trust.h"

namespace tavrel::testing {

inline std::string NameOf(app::InstallerVerdict v) {
  using V = app::InstallerVerdict;
  switch (v) {
    case V::Genuine: return "genuine";
    case V::Missing: return "missing";
    case V::Busy: return "busy";
    case V::Unreadable: return "unreadable";
    case V::Unsigned: return "unsigned";
    case V::BadSignature: return "bad-signature";
    case V::UntrustedChain: return "untrusted-chain";
    case V::NotForCodeSigning: return "not-for-code-signing";
    case V::WrongSigner: return "wrong-signer";
    case V::CannotVerify: return "cannot-verify";
  }
  return "?";
}

inline std::string NameOf(app::InstallerCheck c) {
  using C = app::InstallerCheck;
  switch (c) {
    case C::Started: return "started";
    case C::Refused: return "refused";
    case C::NotStarted: return "not-started";
    case C::Missing: return "missing";
    case C::Busy: return "busy";
  }
  return "?";
}

}  // namespace tavrel::testing
