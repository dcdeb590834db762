#include "app/Application.h"

#include <iostream>

#include "lib/lang/Cp1252.h"

namespace ficha {

TApplication& Application() {
  static TApplication app{"", "", 5000, &std::cout, &std::cerr};
  return app;
}

void TApplication::ProcessMessages() {
  if (Out != nullptr) Out->flush();
}

std::string ExceptionBoxText(const std::string& title, const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return title + ": " + text;
}

void TApplication::ShowException(const std::exception& e) {
  if (Out != nullptr) Out->flush();
  if (Err != nullptr) {
    *Err << Cp1252ToUtf8(ExceptionBoxText(Title, e.what())) << '\n';
    Err->flush();
  }
}

}  // namespace ficha
