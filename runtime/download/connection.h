// One connection of a task, run on its own thread until it ends. The base
// class is what every protocol shares: the connection's life (first
// connection or block connection), retries, connecting, creating the file
// and receiving blocks into it. A protocol supplies its first connection's
// steps and how one block's data is asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/download/platform.h"
#include "runtime/download/transfer.h"

namespace tavrel::download {

class Task;
struct TaskParam;

// How a connection ended, as the task thread needs to know it.
enum class ConnectionEnd : std::int32_t {
  kDone,      // its work is done: nothing was left for it to take
  kLeftRest,  // the server closed early: the rest of its block is free again
  kFailed,    // it gave up: an answer that cannot be used, out of retries, the file
  kStopped,
};

// The largest buffer a connection receives into; readChunk sets its size
// between kBufferBytes and this.
inline constexpr std::int32_t kLargestBuffer = 1 << 20;

class Connection {
 public:
  // block is BlockPlan::kNone for the task's first connection, which finds
  // the file's size and creates the file; later connections start on the
  // block the task thread gave them.
  Connection(Task& task, std::int32_t number, std::int32_t block);
  virtual ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  ConnectionEnd Run();

 protected:
  enum class Outcome {
    kOk,
    kRetry,   // a network failure: tried again after the pause
    kFailed,  // an answer or a failure that trying again cannot mend
    kStopped,
  };

  // The first connection's steps, up to the file's size and name; they end
  // in BeginTransfer.
  virtual ConnectionEnd RunFirst() = 0;
  // One attempt to have block_'s data, from its stored position on, arrive
  // on socket_ (bodyLeft_ and streamPos_ set).
  virtual Outcome RequestBlock() = 0;
  // Ends the data on socket_.
  virtual void CloseResponse();

  void Log(std::int32_t level, std::string text);
  // Logs the failure at the error level.
  Outcome Fail(std::string text);
  // Runs the attempt until it succeeds, trying again after network failures;
  // the connection's end when it does not succeed.
  std::optional<ConnectionEnd> Attempt(const std::function<Outcome()>& attempt);
  // Connects socket_ to route_'s host, resolving it first when needed.
  Outcome Connect(bool first);
  // Sends every byte; on failure logs the socket's reason, then failureText.
  Outcome Send(platform::Socket& socket, const std::string& bytes, const char* failureText);
  // A last word to the server (a stream's stop or close), sent even while
  // the task stops; within a second, its failure unreported.
  void SendParting(const std::string& bytes);
  // The log text of a failed receive.
  std::string ReceiveFailureText(platform::NetStatus status, const platform::Socket& socket) const;
  // Appends what socket_ brings next of a stream to received; a close there
  // is an early end.
  Outcome ReceiveStreamBytes(std::string& received);
  // Appends bytes of a stream to the file and counts them.
  Outcome StoreStreamBytes(const std::string& bytes);
  // Names and creates the file, plans the blocks, tells the task and the
  // caller, asks for the other connections and receives block 0 (its data
  // is on socket_ already when haveData, else RequestBlock asks for it).
  // wholeStream: the answer on socket_ is the whole file from its first byte.
  ConnectionEnd BeginTransfer(const std::string& serverName, bool wholeStream, std::int32_t connections, bool haveData);
  Transfer& File();
  void Announce(std::int32_t code);
  // The local file's name: the local path, or the server's name in the
  // local folder, settled with the caller when that file exists.
  Outcome NameFile(const std::string& serverName, std::string& path);

  Task& task_;
  const TaskParam& param_;
  const std::int32_t number_;
  const std::uint32_t threadId_;
  std::int32_t block_;
  std::int32_t total_ = 0;
  Route route_;
  platform::Socket socket_;     // the connection the data arrives on
  std::string leftover_;        // data bytes that arrived with the answer
  std::int64_t bodyLeft_ = -1;  // -1: until the server closes
  std::int32_t streamPos_ = 0;  // the file offset of the next data byte
  std::int32_t receiveTimeoutMs_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::int32_t chunk_ = kBufferBytes;  // the most one receive asks for
  bool paced_ = false;                 // each round of chunk_ lasts a second

 private:
  enum class BodyEnd { kBlockComplete, kClosedWithData, kRetry, kStopped, kLost };

  ConnectionEnd RunBlocks(bool haveResponse, bool announced);
  std::optional<ConnectionEnd> Retry();
  bool StillMine();
  // Over a whole-file answer: on into the block whose bytes come next.
  bool ContinueStream(BodyEnd& end);
  Outcome PrepareFile(const std::string& serverName, std::string& path, platform::MappedFile& file);

  // Receiving (connection_receive.cpp).
  BodyEnd ReceiveBody();
  BodyEnd DiscardTo(std::int32_t pos);
  BodyEnd ServerClosed();
  void Take(const std::uint8_t* data, std::int32_t n);
  void Flush();

  std::int32_t fill_ = 0;
  std::vector<std::int32_t> pending_;  // DataReceived counts not yet queued
  bool lostBlock_ = false;
  int retries_ = 0;
};

// The connection the task's scheme calls for, run on the calling thread
// until it ends.
ConnectionEnd RunConnection(Task& task, std::int32_t number, std::int32_t block);

std::unique_ptr<Connection> MakeHttpConnection(Task& task, std::int32_t number, std::int32_t block);
std::unique_ptr<Connection> MakeFtpConnection(Task& task, std::int32_t number, std::int32_t block);
std::unique_ptr<Connection> MakeMmsConnection(Task& task, std::int32_t number, std::int32_t block);
std::unique_ptr<Connection> MakeRtspConnection(Task& task, std::int32_t number, std::int32_t block);
std::unique_ptr<Connection> MakeFtpUploadConnection(Task& task, std::int32_t number, std::int32_t block);

}  // namespace tavrel::download
