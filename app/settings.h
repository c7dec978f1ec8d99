// Build-time settings of the product: the maker's servers and the expected
// signer of the installers. Two builds of them exist: the product's (from the
// CMake cache) and a loopback one that the end-to-end tests run against.
#pragma once

#include <cstdint>

namespace tavrel::app {

// The ports the product's servers listen on.
inline constexpr std::uint16_t kDownloadPort = 88;
inline constexpr std::uint16_t kUpdatePort = 443;

const char* DownloadHost();     // the JDK installer server, HTTP
std::uint16_t DownloadPort();   // kDownloadPort but in the loopback build's tests
const char* UpdateHost();       // the update service, HTTPS
std::uint16_t UpdatePort();     // kUpdatePort but in the loopback build's tests
const char* SiteHost();         // the maker's web site
const char* InstallerSigner();  // O and CN of the installers' Authenticode signer

}  // namespace tavrel::app
