// Build-time settings of the product: the maker's servers and the expected
// signer of the installers. Two builds of them exist: the product's (from the
// CMake cache) and a loopback one that the end-to-end tests run against.
#pragma once

namespace tavrel::app {

const char* DownloadHost();     // the JDK installer server, HTTP on port 88
const char* UpdateHost();       // the update service, HTTPS
const char* SiteHost();         // the maker's web site
const char* InstallerSigner();  // O and CN of the installers' Authenticode signer

}  // namespace tavrel::app
