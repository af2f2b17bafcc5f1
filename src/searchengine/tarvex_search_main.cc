// tarvex-search: the desktop search engine for Tarvex Server.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "common/ascii.h"
#include "common/command_line.h"
#include "platform/app_folder.h"
#include "platform/program_arguments.h"
#include "protocol/codes.h"
#include "searchengine/search_engine.h"
#include "search/search_registration.h"

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
  std::cerr << "tarvex-search: " << problem << "\nTry tarvex-search --help.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvex;
  const std::vector<std::string> args = ProgramArguments(argc, argv);
  SearchEngineOptions options;
  CLI::App app("tarvex-search", "tarvex-search");
  app.set_help_flag();  // kUsage says it better
  bool help = false;
  bool version = false;
  bool no_register = false;
  std::optional<std::uint16_t> port;
  std::vector<std::string> folders;
  std::optional<std::string> recoll_config;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_option("--folder", folders)->take_all();
  app.add_option("--recoll-config", recoll_config);
  app.add_option("--port", port)->check(WholeNumber(1, 65535));
  app.add_flag("--no-register", no_register);
  if (std::string problem = ParseArguments(app, args); !problem.empty()) return Usage(problem);
  if (help) {
    std::cout << kUsage;
    return 0;
  }
  if (version) {
    std::cout << "tarvex-search " << protocol::kServerVersion << '\n';
    return 0;
  }
  // Folders given relative are the caller's.
  const std::string here = CurrentDirectory();
  for (const std::string& folder : folders) options.folders.push_back(FromDirectory(here, folder));
  if (recoll_config) options.recoll_config = FromDirectory(here, *recoll_config);
  if (port) options.port = *port;
  options.register_address = !no_register;
  if (const char* parent = std::getenv(kParentVariable)) options.parent_pid = ParseDecimal(parent);
  if (options.recoll_config && !options.folders.empty()) {
    return Usage("--folder and --recoll-config do not go together");
  }
  return RunSearchEngine(options);
}
