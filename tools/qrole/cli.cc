#include "cli.h"

#include <iostream>

namespace qrole::cli {

std::string Arguments::Get(const std::string& option, const std::string& fallback) const {
  auto it = options.find(option);
  return it == options.end() ? fallback : it->second;
}

Arguments Parse(const std::vector<std::string>& args, const Grammar& grammar) {
  Arguments out;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      out.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      continue;
    }
    if (arg == "--json") {
      out.json = true;
      continue;
    }
    std::string name = arg, value;
    bool has_value = false;
    if (size_t eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    if (!grammar.with_value.count(name)) throw UsageError("unknown option " + name);
    if (!has_value) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    out.options[name] = value;
  }
  if (out.help) return out;
  if (out.positional.size() < grammar.min_positional) throw UsageError("missing argument");
  if (out.positional.size() > grammar.max_positional)
    throw UsageError("unexpected argument " + out.positional[grammar.max_positional]);
  return out;
}

void PrintJson(const nlohmann::json& value) {
  std::cout << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

void Warn(const std::string& text) { std::cerr << "qrole: warning: " << text << "\n"; }

}  // namespace qrole::cli
