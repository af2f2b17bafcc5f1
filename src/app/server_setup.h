// What both server programs do at start-up and the services they offer.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/server/server.h"
#include "platform/instance_lock.h"

namespace tarvex {

// The services every server program registers.
std::vector<Server::ServiceFactory> DefaultServices();

// Removes the temporary files that saves interrupted by a crash left in the
// working directory and the data directory. Call it at start-up, holding the
// single-instance lock, after entering the application folder.
void RemoveStaleSaveFilesAtStartup();

}  // namespace tarvex
