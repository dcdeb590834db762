#include "common/EngineError.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "common/ErrorCodes.h"

namespace ficha {
namespace {

constexpr std::string_view kUnknownError = "An unknown error occurred";

std::mutex& ContextMutex() {
  static std::mutex mutex;
  return mutex;
}

EngineErrorContext& Context() {
  static EngineErrorContext context;
  return context;
}

std::string Cut(std::string_view s, size_t max) { return std::string(s.substr(0, max)); }

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The context name that the nearest naming word of `text` stands for, or null
// when it names none. Whole words only ("indexes" is not "index"), any case
// ("Table '%s' does not exist").
const std::string* NamedBy(std::string_view text, const EngineErrorContext& c) {
  std::string segment(text);
  for (char& ch : segment) ch = Lower(ch);
  struct Word {
    std::string_view word;
    const std::string* value;
  } const words[] = {{"table", &c.table}, {"field", &c.field},       {"index", &c.index},
                     {"user", &c.user},   {"database", &c.database}, {"server", &c.server}};
  const std::string* best = nullptr;
  size_t best_pos = 0;
  for (const Word& w : words) {
    for (size_t pos = segment.find(w.word); pos != std::string_view::npos;
         pos = segment.find(w.word, pos + 1)) {
      size_t end = pos + w.word.size();
      bool whole = (pos == 0 || !IsWordChar(segment[pos - 1])) &&
                   (end == segment.size() || !IsWordChar(segment[end]));
      if (whole && (best == nullptr || pos >= best_pos)) {
        best = w.value;
        best_pos = pos;
      }
    }
  }
  return best;
}

}  // namespace

// Placeholders are filled in the order they stand, each by what the text in
// front of it says it is:
//   - after " - " (filter, import and export errors), inside "('...')"
//     (remote unknown error) and in the SQL error: the detail text;
//   - the unquoted one of the unknown OS error: the OS error code in decimal;
//   - otherwise the name of the nearest word table, field, index, user,
//     database or server since the previous placeholder ("the database server
//     at '%s'" is the server).
std::string EngineErrorMessageText(const EngineErrorContext& c) {
  std::string_view templ = EngineErrorText(c.code);
  if (templ.empty()) return std::string(kUnknownError);
  std::string out;
  size_t from = 0;
  for (size_t pos = templ.find("%s"); pos != std::string_view::npos; pos = templ.find("%s", from)) {
    std::string_view segment = templ.substr(from, pos - from);
    out.append(segment);
    bool quoted = !segment.empty() && segment.back() == '\'';
    std::string value;
    if (c.code == FICHA_SQLPARSE || segment.ends_with(" - ") || segment.ends_with("('")) {
      value = c.text;
    } else if (c.code == FICHA_OSUNKNOWN && !quoted) {
      value = std::to_string(c.os_error);
    } else if (const std::string* named = NamedBy(segment, c)) {
      value = *named;
    }
    out.append(value);
    from = pos + 2;
  }
  out.append(templ.substr(from));
  if (out.size() > kMaxErrorMessageText) out.resize(kMaxErrorMessageText);
  return out;
}

std::string EngineErrorMessage(const EngineErrorContext& c) {
  return "Ficha Engine Error # " + std::to_string(c.code) + " " + EngineErrorMessageText(c);
}

EFichaEngineError::EFichaEngineError(const EngineErrorContext& context)
    : EDatabaseError(EngineErrorMessage(context)), context_(context) {}

void RaiseEngineError(int code, std::string_view table, std::string_view field,
                      std::string_view index, std::string_view text, std::string_view server,
                      std::string_view user, std::string_view database) {
  int os_error = errno;
  EngineErrorContext snapshot;
  {
    std::lock_guard<std::mutex> lock(ContextMutex());
    EngineErrorContext& c = Context();
    c.code = static_cast<uint16_t>(std::abs(code));
    c.os_error = os_error;
    c.socket_error = 0;  // no remote access: the socket layer never fails
    c.server = Cut(server, kMaxErrorContextText);
    c.user = Cut(user, kMaxErrorContextText);
    c.database = Cut(database, kMaxErrorContextText);
    c.table = Cut(table, kMaxErrorContextText);
    c.field = Cut(field, kMaxErrorContextText);
    c.index = Cut(index, kMaxErrorContextText);
    c.text = Cut(text, kMaxErrorContextText);
    snapshot = c;
  }
  throw EFichaEngineError(snapshot);
}

int LastEngineErrorCode() {
  std::lock_guard<std::mutex> lock(ContextMutex());
  return Context().code;
}

EngineErrorContext LastEngineErrorContext() {
  std::lock_guard<std::mutex> lock(ContextMutex());
  return Context();
}

int EngineErrorCodeOf(const std::exception& e) {
  if (auto* engine = dynamic_cast<const EFichaEngineError*>(&e)) return engine->ErrorCode();
  return FICHA_OSUNKNOWN;
}

}  // namespace ficha
