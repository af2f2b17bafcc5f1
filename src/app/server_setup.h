// What both server programs do at start-up and the services they offer.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/server/server.h"
#include "platform/instance_lock.h"

namespace tarvex {

class ServerSettings;

// The services every server program registers.
std::vector<Server::ServiceFactory> DefaultServices();

// The data directory, set to the current directory at the first run; none
// when it can be neither read nor set.
std::optional<std::string> ResolveDataDirectory();

// The server settings over the data directory's "TSConfig.txt", or none.
std::unique_ptr<ServerSettings> OpenServerSettings();

}  // namespace tarvex
