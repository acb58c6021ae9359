// qrole_web_service.exe FOLDER: the stand-in web service of the script
// suites' web sections, on 127.0.0.1 (any free port). Writes its address to
// FOLDER\web-endpoint.txt and serves until FOLDER\web-stop.txt appears (or
// for 15 minutes at most).
//
// The service has two companies ("Alfa SL", "Beta ñ") and two folders, knows
// "Alfa SL" (number 03, year 23, opening in July, no password) and keeps the
// parameters written to it.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "web/fake_web_service.h"
#include "web/xml_tree.h"

namespace {

using qrole::web::testing::FakeAnswer;
using qrole::web::testing::FakeCall;

// A request document as the service reads it: its tag, its own text (the
// name it asks about) and the texts of its elements.
struct Request {
  std::string tag;
  std::string content;
  std::map<std::string, std::string> elements;
};

Request Read(const std::string& doc) {
  Request r;
  std::optional<qrole::web::XmlNode> root = qrole::web::ParseXml(doc);
  if (!root) return r;
  r.tag = root->name;
  for (const qrole::web::XmlNode& child : root->children) {
    if (child.is_text) {
      r.content += child.text;
    } else {
      r.elements[child.name] = child.Text();
    }
  }
  size_t end = r.content.find_last_not_of(" \t\r\n");
  r.content.erase(end == std::string::npos ? 0 : end + 1);
  return r;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: qrole_web_service FOLDER\n", stderr);
    return 2;
  }
  const std::wstring folder = argv[1];
  std::mutex mutex;
  std::map<std::string, std::string> totals = {
      {"Comun", "03"}, {"AÑO", "23"}, {"APERTURA", "07"}, {"PASSWORD1", ""}};
  qrole::web::testing::FakeWebService service([&](const FakeCall& call) {
    FakeAnswer a;
    if (call.method == "ID") {
      a.result = call.args.at(0) == "ana" ? "W1\t\t00\t07\tMAIN\tE1" : "ERROR: usuario no válido";
      return a;
    }
    const Request r = Read(call.args.at(1));
    std::lock_guard<std::mutex> lock(mutex);
    if (r.tag == "LEEREMPRESAS") {
      a.result = "<Empresas><Empresa>Alfa SL</Empresa><Empresa>Beta ñ</Empresa></Empresas>";
    } else if (r.tag == "LEERCARPETASVALDRIX2") {
      a.result = "MAIN,Norte";
    } else if (r.tag == "EMPRESAEXISTS") {
      a.result = r.content == "Alfa SL" ? "SI" : "NO";
    } else if (r.tag == "GETTOTAL") {
      a.result = totals[r.content];
    } else if (r.tag == "PUTTOTAL") {
      auto value = r.elements.find("VALOR");
      totals[r.content] = value == r.elements.end() ? "" : value->second;
      a.result = "OK";
    } else {
      a.result = "ERROR: petición desconocida " + r.tag;
    }
    return a;
  });

  FILE* out = _wfopen((folder + L"\\web-endpoint.txt").c_str(), L"wb");
  if (!out) return 1;
  std::fputs(service.endpoint().c_str(), out);
  std::fclose(out);
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(15);
  while (!Exists(folder + L"\\web-stop.txt") && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  return 0;
}
