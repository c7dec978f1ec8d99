// The update check at start and the link to the maker's web site; the parts
// below CheckForUpdate are apart so that tests can point them at a server.
#pragma once

#include "runtime/value.h"

namespace tavrel::app {

// "https://" + host + "/api/update/checkupdate?version=" + version, the
// version not encoded in any way.
Text UpdateRequestUrl(TextView updateHost, TextView version);

// The service's answer means a newer version when it reads as the number 1
// (within 1e-7): the body up to its first zero byte, full-width digits
// counting as digits, leading number only.
bool IsNewerVersionAnswer(const ByteSet& body);

// The program's file version, as read from RunDirectory\Tavrel.exe; empty
// when that file or its version record cannot be read.
Text OwnFileVersion();

// Asks the update service at updateHost (a host name, optionally with
// ":port") whether a newer version than this one exists.
bool NewerVersionAvailable(TextView updateHost);

// The update service's host, with ":port" when its port is not the product's.
Text UpdateServiceAddress();

// Says a newer version exists, opens the site at siteAddress and ends the
// program with exit code 0.
[[noreturn]] void AnnounceNewVersionAndExit(TextView siteAddress);

// The maker's site in the two schemes the program opens it with.
Text SiteAddressHttps();
Text SiteAddressHttp();

}  // namespace tavrel::app
