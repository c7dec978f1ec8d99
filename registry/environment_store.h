// Reads and changes the persistent environment variables of Windows, the
// machine-wide ("system") set or the current user's, so that a change
// reaches future processes and not only this one; and answers a few
// questions about the running process.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "registry/stored_environment.h"
#include "runtime/value.h"

namespace tavrel::registry {

// One object serves one handler call: each set's backend is opened at its
// first use and kept until the object ends.
class EnvironmentStore {
 public:
  using Opener = std::function<std::unique_ptr<StoredEnvironment>(bool user)>;
  explicit EnvironmentStore(Opener open = OpenStoredEnvironment);
  // Announces what is still unannounced.
  ~EnvironmentStore();
  EnvironmentStore(const EnvironmentStore&) = delete;
  EnvironmentStore& operator=(const EnvironmentStore&) = delete;

  // user: true for the user's set; false or left out for the system set.
  // The stored text, or when that is empty the process's own value.
  Text GetVariable(std::optional<Logical> user, TextView name);
  // A name that is empty or holds "=" is refused (false, nothing written):
  // the first is the key's default value, the second ends a name.
  Logical SetVariable(std::optional<Logical> user, TextView name, TextView value);
  Logical RemoveVariable(std::optional<Logical> user, TextView name);
  // Whether this process may change the set at all, asked before a first
  // write so that a batch of changes is not left half done.
  bool CanWrite(std::optional<Logical> user);
  // Tells running programs once that the stored sets changed, when a write
  // or removal of this object succeeded since the last announcement.
  void AnnounceChanges();
  // -1 when the set cannot be read.
  std::int32_t CountVariables(std::optional<Logical> user);
  // Appends one "NAME=value" text per variable, keeping window messages
  // flowing; the number of texts the list then holds, or -1.
  std::int32_t ListVariables(std::optional<Logical> user, Array<Text>& list);

  // The stored text exactly as kept (unexpanded, uncut), without any
  // fallback to the process; nothing when it is missing or unreadable.
  std::optional<Text> ReadStoredVariable(std::optional<Logical> user, TextView name);

  // The arguments after the program's path; the emptied list gets them.
  std::int32_t CommandLineArguments(Array<Text>& list);
  Text CurrentDirectory();
  // The whole path, or only the file name with its extension.
  Text ProgramPath(std::optional<Logical> fullPath);
  // The process variable COMSPEC.
  Text CommandInterpreter();

 private:
  StoredEnvironment& Set(std::optional<Logical> user);

  Opener open_;
  std::array<std::unique_ptr<StoredEnvironment>, 2> sets_;  // system, user
  bool changed_ = false;
};

}  // namespace tavrel::registry
