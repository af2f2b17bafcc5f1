// tarvex-search: the desktop search engine for Tarvex Server.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "common/ascii.h"
#include "protocol/codes.h"
#include "searchengine/search_engine.h"

namespace {

const char kUsage[] =
    "Usage: tarvex-search [--folder DIR]... [--recoll-config DIR] [--port P] [--no-register]\n"
    "  Answers Tarvex Server's desktop searches on 127.0.0.1 from a Recoll index of\n"
    "  the file service's root directory and the documents folder, kept up to date\n"
    "  as files change. Stops on SIGTERM or Ctrl-C.\n"
    "  --folder DIR          index DIR (repeatable) instead of the default folders\n"
    "  --recoll-config DIR   query the index of an existing Recoll configuration,\n"
    "                        kept by your own Recoll setup (nothing is indexed)\n"
    "  --port P              listen on port P (default: the last one, else any free)\n"
    "  --no-register         leave the desktop search setting (search_url) alone\n"
    "  --help | --version\n";

int Usage(const std::string& problem) {
  std::cerr << "tarvex-search: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvex;
  const std::vector<std::string> args(argv + 1, argv + argc);
  SearchEngineOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "tarvex-search " << protocol::kServerVersion << '\n';
      return 0;
    } else if (arg == "--folder" && has_value) {
      options.folders.push_back(args[++i]);
    } else if (arg == "--recoll-config" && has_value) {
      options.recoll_config = args[++i];
    } else if (arg == "--port" && has_value) {
      const std::int32_t port = ParseDecimal(args[++i]);
      if (port < 1 || port > 65535) return Usage("invalid port " + args[i]);
      options.port = static_cast<std::uint16_t>(port);
    } else if (arg == "--no-register") {
      options.register_address = false;
    } else {
      return Usage("unknown or incomplete option " + arg);
    }
  }
  if (const char* parent = std::getenv(kParentVariable)) options.parent_pid = ParseDecimal(parent);
  if (options.recoll_config && !options.folders.empty()) {
    return Usage("--folder and --recoll-config do not go together");
  }
  return RunSearchEngine(options);
}
