// The part of a connection that does not depend on its protocol. A protocol
// supplies the first connection's steps (up to the file's size and name) and
// how a block's data is asked for; the base receives it into the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/download/connection.h"
#include "runtime/download/platform.h"
#include "runtime/download/task.h"

namespace tavrel::download {

class ConnectionBase {
 public:
  ConnectionBase(Task& task, std::int32_t number, std::int32_t block);
  virtual ~ConnectionBase() = default;
  ConnectionBase(const ConnectionBase&) = delete;
  ConnectionBase& operator=(const ConnectionBase&) = delete;

  ConnectionEnd Run();

 protected:
  enum class Outcome { kOk, kRetry, kFailed, kStopped };
  enum class BodyEnd { kBlockComplete, kClosedWithData, kRetry, kStopped, kLost };

  // The first connection: everything up to StartTransfer.
  virtual bool RunFirst() = 0;
  // Opens the data of block_ from its stored position: on return socket_
  // delivers it (bodyLeft_ and streamPos_ set).
  virtual Outcome OpenBlock() = 0;
  // Whether the data on socket_ goes on into another block (one stream).
  virtual bool ContinueStream(BodyEnd&) { return false; }
  // Ends the data on socket_.
  virtual void CloseResponse() { socket_.Close(); }

  void Log(std::int32_t level, std::string text) { task_.QueueLog(number_, level, std::move(text)); }
  Outcome Fail(std::string text);
  // Counts a retry and waits before it; false when out of retries or stopping.
  bool Retry();
  // Connects socket_ to route_'s host, resolving it first when needed.
  Outcome Connect(bool first);
  // Names and creates the file, plans the blocks, tells the task and the
  // caller, asks for the other connections and receives block 0 from the
  // data already on socket_.
  // haveData: block 0's data is on socket_ already (else OpenBlock opens it).
  bool StartTransfer(const std::string& serverName, bool wholeStream, std::int32_t connections, bool haveData);
  bool RunBlocks(bool haveResponse, bool announced, std::int32_t announce);
  bool StillMine();
  BodyEnd ReceiveBody();
  BodyEnd DiscardTo(std::int32_t pos);
  std::string ReceiveFailureText(platform::NetStatus status) const;

  Task& task_;
  const TaskParam& param_;
  const std::int32_t number_;
  const std::uint32_t threadId_;
  std::int32_t block_;
  std::int32_t total_ = 0;
  Route route_;
  platform::Socket socket_;      // the connection the data arrives on
  std::string leftover_;         // data bytes that arrived with the answer
  std::int64_t bodyLeft_ = -1;   // -1: until the server closes
  std::int32_t streamPos_ = 0;   // the file offset of the next data byte
  ConnectionEnd end_ = ConnectionEnd::kGaveUp;
  std::int32_t receiveTimeoutMs_ = 0;

 private:
  Outcome PrepareFile(const std::string& serverName, std::string& path, platform::MappedFile& file);
  BodyEnd ServerClosed();
  void Take(const std::uint8_t* data, std::int32_t n);
  void Flush();

  std::unique_ptr<std::uint8_t[]> buffer_;
  std::int32_t fill_ = 0;
  std::vector<std::int32_t> pending_;  // DataReceived counts not yet queued
  std::int32_t chunk_ = kBufferBytes;
  bool paced_ = false;
  bool lostBlock_ = false;
  int retries_ = 0;
};

}  // namespace tavrel::download
