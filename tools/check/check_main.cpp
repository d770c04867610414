// The validator's command line; see check_main.h.
#include "tools/check/check_main.h"

#include <new>
#include <string_view>

#include "src/config/settings_file.h"
#include "version.h"
#include "tools/check/check.h"
#include "tools/check/check_game.h"
#include "tools/check/check_watch.h"

namespace {

constexpr std::string_view CHECK_USAGE =
    "usage: maneshade-check [--dump] [FILE]\n"
    "       maneshade-check --watch [FILE]\n"
    "       maneshade-check --game DIR\n"
    "       maneshade-check --help | --version\n"
    "Checks FILE (by default ManeShade.ini in the current folder) exactly as Mane Shade reads it.\n"
    "  --dump       also write what was read to standard output, as one line of JSON\n"
    "  --watch      keep looking at FILE as the game does, and report every load until interrupted\n"
    "  --game DIR   check the game folder DIR: the module, the host library and ManeShade.ini\n"
    "  --help       show this text (also -h and /?)\n"
    "  --version    show the version, which is that of the ManeShade.asi it comes with\n"
    "Exit status: 0 the game would use the file, 1 it would refuse it, 2 the file cannot be read.\n";

enum class Check_Mode { file, watch, game };

struct Check_Args {
  bool ok;
  bool dump;
  bool help;
  bool version;
  Check_Mode mode;
  std::string_view path;  // FILE, or DIR for --game
};

Check_Args check_parse_args(int argc, const char *const *argv) {
  Check_Args args{true, false, false, false, Check_Mode::file, CONFIG_FILE_NAME};
  bool options_done = false;
  bool have_path = false;
  for (int i = 1; i < argc; i++) {
    std::string_view arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg == "--dump") {
      args.dump = true;
    } else if (!options_done && arg == "--watch" && args.mode == Check_Mode::file) {
      args.mode = Check_Mode::watch;
    } else if (!options_done && arg == "--game" && args.mode == Check_Mode::file && i + 1 < argc && !have_path) {
      args.mode = Check_Mode::game;
      args.path = argv[++i];
      have_path = true;
    } else if (!options_done && (arg == "--help" || arg == "-h" || arg == "/?")) {
      // "/?" is how Windows programs are asked for help; no settings file is named so.
      args.help = true;
    } else if (!options_done && arg == "--version") {
      args.version = true;
    } else if ((!options_done && arg.size() > 1 && arg[0] == '-') || have_path) {
      args.ok = false;
    } else {
      args.path = arg;
      have_path = true;
    }
  }
  // --dump writes the one file's JSON: it means nothing with the other modes.
  if (args.dump && args.mode != Check_Mode::file) args.ok = false;
  return args;
}

}  // namespace

bool check_wants_dump(int argc, const char *const *argv) noexcept {
  try {
    Check_Args args = check_parse_args(argc, argv);
    return args.ok && args.dump;
  } catch (...) {
    return false;
  }
}

int check_main(int argc, const char *const *argv, FILE *out, FILE *err) noexcept {
  try {
    Check_Args args = check_parse_args(argc, argv);
    if (!args.ok) {
      check_write(err, CHECK_USAGE);
      return CHECK_EXIT_NOT_CHECKED;
    }
    if (args.help) {
      check_write(out, CHECK_USAGE);
      return CHECK_EXIT_INSTALLED;
    }
    if (args.version) {
      // The version of ManeShade.asi's version resource: one number, the project's, for both.
      check_write(out, std::string_view("maneshade-check " MANESHADE_VERSION_STRING "\n"));
      return CHECK_EXIT_INSTALLED;
    }
    switch (args.mode) {
      case Check_Mode::watch: return check_watch(args.path, err);
      case Check_Mode::game: return check_game(args.path, err);
      case Check_Mode::file: break;
    }
    return check_file(args.path, args.dump, out, err);
  } catch (const std::bad_alloc &) {
    check_write(err, std::string_view("maneshade-check: out of memory\n"));
  } catch (...) {
    check_write(err, std::string_view("maneshade-check: unexpected failure\n"));
  }
  return CHECK_EXIT_NOT_CHECKED;
}
