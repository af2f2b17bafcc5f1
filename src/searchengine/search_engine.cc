#include "searchengine/search_engine.h"

#include <algorithm>
#include <memory>

#include "core/settings/root_dir.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/private_files.h"
#include "platform/stop_signals.h"
#include "platform/user_folders.h"
#include "searchengine/engine_log.h"
#include "searchengine/http_service.h"
#include "searchengine/index_keeper.h"
#include "searchengine/query_cache.h"
#include "searchengine/recoll_config.h"
#include "searchengine/recoll_query.h"
#include "searchengine/search_endpoint.h"
#include "search/search_registration.h"

namespace tarvex {
namespace {

constexpr char kLockName[] = "tarvex-search";

// How often an engine that indexes the default folders looks whether the
// file service's root directory was set to another folder.
constexpr auto kFollowInterval = std::chrono::seconds(2);

// The folders asked for, or the defaults: the file service's root directory
// as it is set now and the documents folder.
std::vector<std::string> WantedFolders(const SearchEngineOptions& options) {
  if (!options.folders.empty()) return options.folders;
  return {ReadRootDir().value_or(DefaultRootDir()), DocumentsDirectory()};
}

// The wanted folders made absolute, existing and fit for the configuration,
// without repeats. The file service's root directory is made when missing
// (the server makes it at the first upload anyway), so that what devices
// upload is always found.
std::vector<std::string> FoldersToIndex(const SearchEngineOptions& options,
                                        const std::vector<std::string>& wanted) {
  if (options.folders.empty() && !wanted.empty() && !wanted.front().empty()) {
    MakeDirectories(wanted.front(), kSharedFolderMode);
  }
  std::vector<std::string> folders;
  for (const std::string& folder : wanted) {
    if (folder.empty()) continue;
    std::string path = NormalisePath(folder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!StatPath(path).is_directory) {
      EngineLog("Not indexing " + folder + ": no such folder");
    } else if (!CanConfigureFolder(path)) {
      EngineLog("Not indexing " + folder + ": its name holds a quote, a backslash or a line break");
    } else if (std::find(folders.begin(), folders.end(), path) == folders.end()) {
      folders.push_back(path);
    }
  }
  return folders;
}

}  // namespace

int RunSearchEngine(const SearchEngineOptions& options) {
  std::optional<InstanceLock> lock = InstanceLock::Acquire(kLockName);
  if (!lock) {
    EngineLog("Another tarvex-search of this user is running");
    return 1;
  }
  // Blocks SIGTERM and SIGINT before any thread exists, so only Wait sees them.
  StopSignals stop_signals;
  if (options.parent_pid && !StopSignals::StopWithParent(*options.parent_pid)) {
    EngineLog("The program that started tarvex-search has ended already");
    return 0;
  }
  // The address token and the index are the user's alone.
  MakeNewFilesPrivate();
  std::optional<std::string> folder = SearchEngineFolder();
  if (!folder) {
    EngineLog("Cannot make the engine's folder in the application folder");
    return 1;
  }
  if (!MakeFolderPrivate(*folder)) EngineLog("Cannot make " + *folder + " private to its user");

  std::string config_dir = options.recoll_config.value_or(*folder);
  std::vector<std::string> wanted = WantedFolders(options);
  std::vector<std::string> folders;
  if (!options.recoll_config) {
    folders = FoldersToIndex(options, wanted);
    if (!WriteRecollConfig(config_dir, folders)) {
      EngineLog("Cannot write the Recoll configuration in " + config_dir);
      return 1;
    }
    for (const std::string& f : folders) EngineLog("Indexing " + f);
    if (folders.empty()) EngineLog("No folder to index; give one with --folder");
  }
  const RecollQuery recoll({config_dir});
  // Pages after the first come from kept results while the index stays as
  // it was; Recoll's index commits replace its version file.
  const std::string index_dir = config_dir + "/xapiandb";
  QueryCache engine([&recoll](std::string_view text, std::uint32_t first,
                              std::uint32_t count) { return recoll.Run(text, first, count); },
                    [index_dir] {
                      const std::string version = ChangeStamp(index_dir + "/iamglass");
                      return version.empty() ? version : ChangeStamp(index_dir) + "/" + version;
                    });

  const std::optional<SearchAddressParts> previous = ParseSearchAddress(LastOwnSearchAddress());
  const std::string token = previous ? previous->token : NewSearchToken();
  const SearchEndpoint endpoint(SearchPath(token), engine);
  const HttpHandler handler = [&endpoint](const HttpRequest& request) { return endpoint.Answer(request); };
  std::string error;
  std::unique_ptr<HttpService> service =
      HttpService::Start(options.port.value_or(previous ? previous->port : 0), handler, &error);
  if (!service && !options.port && previous) service = HttpService::Start(0, handler, &error);
  if (!service) {
    EngineLog(error);
    return 1;
  }
  const std::string address = MakeSearchAddress(service->Port(), token);
  EngineLog("Answering searches at " + address);

  bool registered = false;
  if (options.register_address) {
    registered = RegisterSearchAddress(address);
    if (registered) {
      EngineLog("Registered as the desktop search engine");
    } else {
      EngineLog("The desktop search setting names another engine; it is left as it is");
    }
  }

  std::unique_ptr<IndexKeeper> keeper;
  if (!folders.empty()) {
    keeper = std::make_unique<IndexKeeper>(IndexKeeper::Options{config_dir});
    keeper->Start();
  }
  if (options.folders.empty() && !options.recoll_config) {
    // The engine follows the root directory setting: a new folder is
    // written into the configuration and the indexer starts over at once,
    // its first pass taking in the new folder.
    while (stop_signals.WaitFor(kFollowInterval) == 0) {
      std::vector<std::string> now_wanted = WantedFolders(options);
      if (now_wanted == wanted) continue;
      wanted = std::move(now_wanted);
      std::vector<std::string> now_folders = FoldersToIndex(options, wanted);
      if (now_folders == folders) continue;
      if (!WriteRecollConfig(config_dir, now_folders)) {
        EngineLog("Cannot write the Recoll configuration in " + config_dir);
        continue;
      }
      folders = std::move(now_folders);
      keeper.reset();
      for (const std::string& f : folders) EngineLog("Indexing " + f);
      if (!folders.empty()) {
        IndexKeeper::Options keep{config_dir};
        keep.start_delay = std::chrono::seconds(0);
        keeper = std::make_unique<IndexKeeper>(keep);
        keeper->Start();
      }
    }
  } else {
    stop_signals.Wait();
  }
  EngineLog("Stopping");
  // Searches stop and the address is withdrawn first: stopping the indexer
  // may take seconds, and a parent that loses patience must not leave the
  // setting pointing at an engine that is gone.
  service.reset();
  if (registered) WithdrawSearchAddress(address);
  keeper.reset();
  return 0;
}

}  // namespace tarvex
