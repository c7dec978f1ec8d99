// A name lookup's answer as endpoints, for both platforms' sockets: each
// includes this after its own socket headers, which name addrinfo and
// sockaddr alike.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "runtime/download/platform.h"

namespace tavrel::download::platform {

// IPv4 first: servers of this kind listen there.
template <class AddressInfo>
std::vector<Endpoint> EndpointsOf(const AddressInfo* list) {
  std::vector<Endpoint> out;
  for (const AddressInfo* a = list; a; a = a->ai_next) {
    auto* bytes = reinterpret_cast<const std::uint8_t*>(a->ai_addr);
    out.push_back(Endpoint{std::vector<std::uint8_t>(bytes, bytes + a->ai_addrlen)});
  }
  using Address = std::remove_pointer_t<decltype(list->ai_addr)>;
  auto family = [](const Endpoint& e) { return reinterpret_cast<const Address*>(e.address.data())->sa_family; };
  std::stable_sort(out.begin(), out.end(),
                   [&](const Endpoint& a, const Endpoint& b) { return family(a) == AF_INET && family(b) != AF_INET; });
  return out;
}

}  // namespace tavrel::download::platform
