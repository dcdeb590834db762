// TApplication: the program-wide object of the utility: its title, where the
// log and error messages go, and the options given on the command line.
#pragma once

#include <exception>
#include <ostream>
#include <string>

namespace ficha {

class TApplication {
 public:
  // Shown in front of error messages (a message box's title).
  std::string Title;
  // Where the program's files are; empty means the directory of the
  // executable.
  std::string ProgramDirectory;
  // Pause before the window closes after a run.
  int FinalPauseMs = 5000;
  // Terminal streams of the log and of error messages.
  std::ostream* Out = nullptr;
  std::ostream* Err = nullptr;

  // Lets the terminal catch up; the window has no messages to pump.
  void ProcessMessages();

  // Shows the message of an exception that ended the run: the title, then
  // the message, with "." appended when it ends in a character that sorts
  // after "." (as a message box of the original shows it).
  void ShowException(const std::exception& e);
};

// The process's application object.
TApplication& Application();

// The text ShowException prints for `message` (Windows-1252, one line).
std::string ExceptionBoxText(const std::string& title, const std::string& message);

}  // namespace ficha
