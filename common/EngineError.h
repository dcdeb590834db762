// The error model shared by every layer.
//
// Two exception types travel out of the components:
//   - EDatabaseError: a plain database error of the component layer; its
//     message is the text alone ("Database name is missing.").
//   - EFichaEngineError: an engine failure with its 16-bit engine code, the
//     operating-system and socket error codes recorded at the failure and
//     seven context names; its message is
//     "Ficha Engine Error # " + code + " " + the code's text with the names
//     filled in.
//
// Inside the engine operations return 0 or a negated code; the cursor and the
// component layer turn a failure into an exception with RaiseEngineError.
// Raising records the context in one process-wide record under its own mutex,
// so concurrent raises never mix their texts.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ficha {

// Base of every exception the components raise. Message() is the text shown
// to a user (what() returns the same bytes).
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A plain database error: the message text only.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// What a raise records: the code, the OS and socket error codes and the seven
// context texts (each at most kMaxErrorContextText bytes).
struct EngineErrorContext {
  uint16_t code = 0;
  int32_t os_error = 0;
  int32_t socket_error = 0;
  std::string server;
  std::string user;
  std::string database;
  std::string table;
  std::string field;
  std::string index;
  std::string text;
};

constexpr size_t kMaxErrorContextText = 255;
constexpr size_t kMaxErrorMessageText = 254;

// An engine failure. All fields come from the context given to the
// constructor (RaiseEngineError passes the one it has just recorded).
class EFichaEngineError : public EDatabaseError {
 public:
  explicit EFichaEngineError(const EngineErrorContext& context);

  uint16_t ErrorCode() const { return context_.code; }
  int32_t OSErrorCode() const { return context_.os_error; }
  int32_t SocketErrorCode() const { return context_.socket_error; }
  const std::string& ErrorServer() const { return context_.server; }
  const std::string& ErrorUserName() const { return context_.user; }
  const std::string& ErrorDatabaseName() const { return context_.database; }
  const std::string& ErrorTableName() const { return context_.table; }
  const std::string& ErrorFieldName() const { return context_.field; }
  const std::string& ErrorIndexName() const { return context_.index; }
  const std::string& ErrorText() const { return context_.text; }

 private:
  EngineErrorContext context_;
};

// The message text of a context without the "Ficha Engine Error # n " prefix:
// the code's text with each "%s" filled from the context (see the .cpp for the
// rule), "An unknown error occurred" for a code without text, cut to
// kMaxErrorMessageText bytes.
std::string EngineErrorMessageText(const EngineErrorContext& context);

// The full message: "Ficha Engine Error # " + code + " " + text.
std::string EngineErrorMessage(const EngineErrorContext& context);

// Records code, errno (as the OS error), socket error 0 and the texts (each
// cut to 255 bytes) in the process-wide error context, then throws an
// EFichaEngineError built from it. A negated code (the engine's return
// convention) is taken by its magnitude.
[[noreturn]] void RaiseEngineError(int code, std::string_view table = {},
                                   std::string_view field = {}, std::string_view index = {},
                                   std::string_view text = {}, std::string_view server = {},
                                   std::string_view user = {}, std::string_view database = {});

// The code of the most recent raise in this process (0 before any).
int LastEngineErrorCode();

// A copy of the whole context of the most recent raise.
EngineErrorContext LastEngineErrorContext();

// The engine code of any exception: ErrorCode() of an EFichaEngineError,
// FICHA_OSUNKNOWN (11047) for every other exception.
int EngineErrorCodeOf(const std::exception& e);

}  // namespace ficha
