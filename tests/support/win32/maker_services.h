// Stand-ins for everything Tavrel reaches outside the machine, for the
// end-to-end tests: the update service (HTTPS), the download server (HTTP),
// both on free ports of 127.0.0.1, and the web browser (the shell's open
// command for http and https, pointed at a recorder of the address).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/loopback_http_server.h"
#include "tests/support/win32/child_process.h"
#include "tests/support/win32/loopback_server.h"
#include "tests/support/win32/scoped_registry_value.h"

namespace tavrel::testing {

// Both services, for the programs the test starts while it holds them.
class MakerServices {
 public:
  // updateAnswer: the body of every update-service answer.
  MakerServices(const std::string& updateAnswer, Handler download);
  bool Ready() const { return update_.Running() && download_.Listening(); }
  const LoopbackServer& Update() const { return update_; }
  const LoopbackHttpServer& Download() const { return download_; }

 private:
  LoopbackServer update_;
  LoopbackHttpServer download_;
  ChildPorts ports_;
};

// A download server that answers every request with 404: for tests that
// expect no download at all.
Handler NoDownloads();

// Points the shell's open command of a scheme ("http", "https") at a
// recorder that appends each address it is given to a file, one a line, and
// puts the command back afterwards.
class OpenedAddressRecorder {
 public:
  OpenedAddressRecorder(const std::string& scheme, const std::string& file);
  bool Installed() const { return installed_; }
  // The addresses the shell was asked to open, once there are at least
  // count of them or the time is up.
  std::vector<std::string> WaitForAddresses(std::size_t count, DWORD timeoutMs) const;

 private:
  std::vector<std::string> Addresses() const;

  std::string file_;
  std::vector<std::unique_ptr<ScopedRegistryValue>> commands_;
  bool installed_ = true;
};

}  // namespace tavrel::testing
