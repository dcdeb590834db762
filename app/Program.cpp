#include "app/Program.h"

#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/Application.h"
#include "app/Unit1.h"

namespace ficha {
namespace {

constexpr char kUsage[] =
    "Usage: insere9 [--dir DIR] [--no-pause]\n"
    "Inserts the ninth digit into the mobile prefixes and phone book of a KOLBAR\n"
    "installation. Reads KOLBAR.INI and the tables in DADOS of the program directory.\n"
    "\n"
    "  --dir DIR    program directory (default: the directory of this executable)\n"
    "  --no-pause   close at once after the run instead of after five seconds\n"
    "  --help       show this help\n";

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int BadCommandLine(std::ostream& err, const std::string& message) {
  err << "insere9: " << message << "\nTry 'insere9 --help'.\n";
  err.flush();
  return 2;
}

// The message loop: the window receives its timer ticks until it closes.
// A run that leaves the timer off without closing the window (an error) ends
// the loop too: the terminal has no window to stay open.
void RunMessageLoop(TForm1& form) {
  while (!form.Closed() && form.TimerAtiva->Enabled()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(form.TimerAtiva->Interval()));
    form.TimerAtiva->Tick();
  }
}

}  // namespace

int Insere9Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  std::string dir;
  bool dir_given = false;
  bool no_pause = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      out << kUsage;
      out.flush();
      return 0;
    } else if (arg == "--no-pause") {
      no_pause = true;
    } else if (arg == "--dir") {
      if (i + 1 >= argc) return BadCommandLine(err, "option '--dir' needs a directory");
      dir = argv[++i];
      dir_given = true;
    } else if (arg.rfind("--dir=", 0) == 0) {
      dir = arg.substr(6);
      dir_given = true;
    } else {
      return BadCommandLine(err, "unknown argument '" + arg + "'");
    }
  }
  if (dir_given && dir.empty()) return BadCommandLine(err, "option '--dir' needs a directory");
  if (dir_given && !IsDirectory(dir)) {
    return BadCommandLine(err, "'" + dir + "' is not a directory");
  }

  TApplication& app = Application();
  // The streams belong to the caller and may die after this returns: the
  // application object goes back to what it was.
  struct Restore {
    TApplication& app;
    TApplication saved;
    ~Restore() { app = saved; }
  } restore{app, app};
  app.Title = kApplicationTitle;
  app.ProgramDirectory = dir;
  app.FinalPauseMs = no_pause ? 0 : 5000;
  app.Out = &out;
  app.Err = &err;

  try {
    auto form = std::make_unique<TForm1>(nullptr);
    form->FormShow();
    RunMessageLoop(*form);
    if (!form->Closed()) return 1;
  } catch (const std::exception& e) {
    app.ShowException(e);
    return 1;
  }
  return 0;
}

}  // namespace ficha
