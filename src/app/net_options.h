// What the command line asks of the network: host, join or replay, a name, a recording.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/wire.h"

class NetPlay;

struct NetOptions {
  bool host = false;
  uint16_t port = net::kDefaultPort;  // --host [PORT]
  std::string join;                   // --join HOST[:PORT]
  std::string name;                   // --name
  std::string record;                 // --record FILE (host)
  std::string replay;                 // --replay FILE

  bool any() const { return host || !join.empty() || !replay.empty(); }
};

// Builds the network side the options ask for: nullptr with `error` set when it cannot
// (a port in use, a damaged replay, a host name that cannot be read); nullptr and no error
// when no network option was given.
std::unique_ptr<NetPlay> StartNetwork(const NetOptions& options, std::string& error);
