// A vsftpd on 127.0.0.1 serving a folder to anonymous users, for the FTP
// tests of the host build. Started by the test, stopped by its PID.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel::testing {

class VsftpdServer {
 public:
  // passive: whether the server accepts PASV (else clients must use PORT);
  // uploads: whether anonymous users may store, resume and append files.
  VsftpdServer(const std::string& root, bool passive, bool uploads = false);
  ~VsftpdServer();
  VsftpdServer(const VsftpdServer&) = delete;
  VsftpdServer& operator=(const VsftpdServer&) = delete;

  bool Running() const { return pid_ > 0 && port_ != 0; }
  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const;
  // Kills the processes serving the sessions (by their PIDs, children of
  // this server's): every client connection breaks at once.
  void DropSessions();

 private:
  std::string config_;
  long pid_ = 0;
  std::uint16_t port_ = 0;
};

// Whether vsftpd is installed at all.
bool VsftpdAvailable();

}  // namespace tavrel::testing
