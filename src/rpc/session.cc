#include "rpc/session.h"

#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "automation/dispatcher.h"
#include "platform/env.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "rpc/json_writer.h"
#include "server/enlace.h"
#include "server/kept_calls.h"
#include "server/object_factory.h"

namespace qrole::rpc {

namespace {

using nlohmann::json;

// A refusal with a JSON-RPC code of its own (not an automation error).
class RpcError : public std::runtime_error {
 public:
  RpcError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// An error answer kept under an idempotency key, given again as it stands.
class KeptErrorAnswer : public std::runtime_error {
 public:
  explicit KeptErrorAnswer(json error)
      : std::runtime_error("kept error"), error_(std::move(error)) {}
  const json& error() const { return error_; }

 private:
  json error_;
};

json ErrorAnswer(const json& id, int code, const std::string& message, json data = nullptr) {
  json error = {{"code", code}, {"message", message}};
  if (!data.is_null()) error["data"] = std::move(data);
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", std::move(error)}};
}

void Append(const json& answer, std::string* out) {
  WriteJson(answer, out);
  out->push_back('\n');
}

// `text` with every byte that is not part of valid UTF-8 replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  char32_t cp;
  while (pos < text.size()) {
    size_t start = pos;
    if (platform::DecodeUtf8(text, &pos, &cp)) {
      out.append(text.substr(start, pos - start));
    } else {
      out.append("\xEF\xBF\xBD");
    }
  }
  return out;
}

// Compares in time that depends only on the lengths.
bool SameToken(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  const size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    diff |= static_cast<unsigned char>(x ^ y);
  }
  return diff == 0;
}

// Checks that `params` is an object with no members but `allowed`.
void CheckParams(const json& params, std::initializer_list<const char*> allowed) {
  if (!params.is_object()) throw InvalidParams("params must be an object");
  for (const auto& [key, value] : params.items()) {
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) throw InvalidParams("unknown parameter \"" + key + "\"");
  }
}

const json& Required(const json& params, const char* name) {
  auto it = params.find(name);
  if (it == params.end()) throw InvalidParams(std::string("missing parameter \"") + name + "\"");
  return *it;
}

int64_t HandleParam(const json& params) {
  const json& h = Required(params, "object");
  if (!h.is_number_integer()) throw InvalidParams("\"object\" must be an object handle");
  if (h.is_number_unsigned() && h.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) return -1;
  return h.get<int64_t>();
}

typelib::Kind KindParam(const json& params) {
  auto it = params.find("kind");
  if (it == params.end() || it->is_null()) return typelib::Kind::kMethod;
  if (it->is_string()) {
    const std::string& k = it->get_ref<const std::string&>();
    if (k == "method") return typelib::Kind::kMethod;
    if (k == "get") return typelib::Kind::kGet;
    if (k == "let") return typelib::Kind::kLet;
    if (k == "set") return typelib::Kind::kSet;
  }
  throw InvalidParams("\"kind\" must be \"method\", \"get\", \"let\" or \"set\"");
}

// The idempotency key of an invoke, when it carries one: a string of 1 to 128
// characters.
std::optional<std::string> KeyParam(const json& params) {
  auto it = params.find("idempotency_key");
  if (it == params.end() || it->is_null()) return std::nullopt;
  constexpr const char* kRule = "\"idempotency_key\" must be a string of 1 to 128 characters";
  if (!it->is_string()) throw InvalidParams(kRule);
  const std::string& key = it->get_ref<const std::string&>();
  if (!IsValidUtf8(key)) throw InvalidParams("\"idempotency_key\" is not valid UTF-8");
  size_t characters = 0;
  for (unsigned char c : key) characters += (c & 0xC0) != 0x80;
  if (characters < 1 || characters > 128) throw InvalidParams(kRule);
  return key;
}

// What identifies a call besides its member: the arguments as sent, with
// trailing left-out ones dropped and named ones under their folded names.
std::string CallText(const typelib::MemberInfo& member, const json& params) {
  json args = json::array();
  if (auto it = params.find("args"); it != params.end() && it->is_array()) args = *it;
  const json missing = {{"$missing", true}};
  while (!args.empty() && args.back() == missing) args.erase(args.size() - 1);
  json named = json::object();
  if (auto it = params.find("named"); it != params.end() && it->is_object()) {
    for (const auto& [name, value] : it->items()) named[typelib::FoldName(name)] = value;
  }
  std::string text = std::to_string(static_cast<int>(member.kind)) + "\n";
  WriteJson(args, &text);
  text += "\n";
  WriteJson(named, &text);
  return text;
}

json MessageJson(const platform::MessageBoxRecord& box) {
  return {{"text", box.text},
          {"title", box.title},
          {"icon", platform::MsgIconName(box.icon)},
          {"buttons", platform::MsgButtonsName(box.buttons)}};
}

}  // namespace

Session::Session(HandleSource* handles, Options options)
    : handles_(handles), options_(std::move(options)) {}

Session::~Session() { ReleaseAll(); }

void Session::AppendError(int code, const std::string& message, std::string* out) {
  Append(ErrorAnswer(nullptr, code, message), out);
}

int64_t Session::HandleOf(const std::shared_ptr<Object>& object) {
  auto it = handle_of_.find(object.get());
  if (it != handle_of_.end()) return it->second;
  int64_t handle = handles_->Next();
  objects_.emplace(handle, object);
  handle_of_.emplace(object.get(), handle);
  return handle;
}

std::shared_ptr<Object> Session::ObjectOf(int64_t handle) {
  auto it = objects_.find(handle);
  if (it == objects_.end())
    throw InvalidParams("no object with handle " + std::to_string(handle) + " on this connection");
  return it->second;
}

size_t Session::ReleaseAll() {
  size_t n = objects_.size();
  handle_of_.clear();
  // Oldest first; each object is destroyed here unless something else holds it.
  while (!objects_.empty()) objects_.erase(objects_.begin());
  return n;
}

void Session::CollectMessages() {
  auto* recording =
      dynamic_cast<platform::RecordingMessageBoxes*>(&platform::CurrentEnv()->Messages());
  if (!recording) return;
  for (const auto& box : recording->TakeRecorded()) messages_.push_back(MessageJson(box));
}

void Session::HandleMessage(std::string_view line, std::string* out) {
  json message = json::parse(line.begin(), line.end(), nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) {
    if (!IsValidUtf8(line)) {
      // Valid JSON but for its encoding: refuse the request by its id.
      std::string repaired = ReplaceInvalidUtf8(line);
      json request = json::parse(repaired, nullptr, false);
      if (request.is_object()) {
        auto id = request.find("id");
        if (id == request.end()) return;  // a notification gets no answer
        if (id->is_null() || id->is_string() || id->is_number()) {
          Append(ErrorAnswer(*id, kInvalidParams, "Invalid params: text is not valid UTF-8"), out);
          return;
        }
      }
    }
    Append(ErrorAnswer(nullptr, kParseError, "Parse error"), out);
    return;
  }
  if (message.is_array()) {
    if (message.empty()) {
      Append(ErrorAnswer(nullptr, kInvalidRequest, "Invalid Request: empty batch"), out);
      return;
    }
    json answers = json::array();
    for (const json& request : message) {
      if (should_close_) break;
      if (auto answer = HandleRequest(request)) answers.push_back(std::move(*answer));
    }
    if (!answers.empty()) Append(answers, out);
    return;
  }
  if (auto answer = HandleRequest(message)) Append(*answer, out);
}

std::optional<json> Session::HandleRequest(const json& request) {
  if (!request.is_object())
    return ErrorAnswer(nullptr, kInvalidRequest, "Invalid Request: not a JSON object");
  auto id_it = request.find("id");
  const bool notification = id_it == request.end();
  json id = nullptr;
  if (!notification) {
    if (!id_it->is_null() && !id_it->is_string() && !id_it->is_number())
      return ErrorAnswer(nullptr, kInvalidRequest,
                         "Invalid Request: \"id\" must be a number, a string or null");
    id = *id_it;
  }
  auto version = request.find("jsonrpc");
  if (version == request.end() || *version != "2.0")
    return ErrorAnswer(id, kInvalidRequest, "Invalid Request: \"jsonrpc\" must be \"2.0\"");
  auto method = request.find("method");
  if (method == request.end() || !method->is_string())
    return ErrorAnswer(id, kInvalidRequest, "Invalid Request: \"method\" must be a string");
  static const json kNoParams = json::object();
  auto params_it = request.find("params");
  const json& params = params_it == request.end() || params_it->is_null() ? kNoParams : *params_it;
  if (!params.is_object() && !params.is_array())
    return ErrorAnswer(id, kInvalidRequest, "Invalid Request: \"params\" must be an object");

  CollectMessages();  // boxes left by earlier work (an object destroyed at a close) are logged only
  messages_ = json::array();
  try {
    json result = Dispatch(method->get_ref<const std::string&>(), params);
    if (notification) return std::nullopt;
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
  } catch (const KeptErrorAnswer& e) {
    if (notification) return std::nullopt;
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"error", e.error()}};
  } catch (const AutomationError& e) {
    CollectMessages();
    if (notification) return std::nullopt;
    return ErrorAnswer(id, e.number(), e.description(), ErrorData(e));
  } catch (const InvalidParams& e) {
    if (notification) return std::nullopt;
    return ErrorAnswer(id, kInvalidParams, std::string("Invalid params: ") + e.what());
  } catch (const RpcError& e) {
    if (notification) return std::nullopt;
    return ErrorAnswer(id, e.code(), e.what());
  } catch (const std::bad_alloc&) {
    CollectMessages();
    if (notification) return std::nullopt;
    return ErrorAnswer(id, kInternalError, "Internal error: out of memory",
                       messages_.empty() ? json() : json{{"messages", std::move(messages_)}});
  } catch (const std::exception& e) {
    CollectMessages();
    if (notification) return std::nullopt;
    return ErrorAnswer(id, kInternalError, e.what(),
                       messages_.empty() ? json() : json{{"messages", std::move(messages_)}});
  } catch (...) {
    CollectMessages();
    if (notification) return std::nullopt;
    return ErrorAnswer(id, kInternalError, "Internal error: unknown failure");
  }
}

json Session::Dispatch(const std::string& method, const json& params) {
  if (method == "auth") return Auth(params);
  if (options_.requires_auth && !authenticated_)
    throw RpcError(kNotAuthenticated, "Not authenticated: call auth first");
  if (method == "invoke") return Invoke(params);
  if (method == "create") return Create(params);
  if (method == "release") return Release(params);
  throw RpcError(kMethodNotFound, "Method not found: " + method);
}

json Session::Auth(const json& params) {
  CheckParams(params, {"token"});
  const json& token = Required(params, "token");
  if (!token.is_string()) throw InvalidParams("\"token\" must be a string");
  if (options_.token.empty()) {
    if (options_.requires_auth) throw RpcError(kNotAuthenticated, "Authentication failed");
    return true;  // nothing to check on a connection that needs none
  }
  if (!SameToken(token.get_ref<const std::string&>(), options_.token)) {
    should_close_ = true;
    throw RpcError(kNotAuthenticated, "Authentication failed: wrong token");
  }
  authenticated_ = true;
  return true;
}

json Session::Create(const json& params) {
  CheckParams(params, {"class"});
  const json& cls = Required(params, "class");
  if (!cls.is_string()) throw InvalidParams("\"class\" must be a string");
  const std::string& name = cls.get_ref<const std::string&>();
  std::shared_ptr<Object> object = server::CreateObjectByName(name);
  if (!object) {
    throw AutomationError(429, kRuntimeSource, "Cannot create object of class \"" + name + "\"");
  }
  return VariantToJson(Variant::FromObject(std::move(object)), *this);
}

json Session::Release(const json& params) {
  CheckParams(params, {"object"});
  int64_t handle = HandleParam(params);
  auto it = objects_.find(handle);
  if (it == objects_.end())
    throw InvalidParams("no object with handle " + std::to_string(handle) + " on this connection");
  std::shared_ptr<Object> object = std::move(it->second);
  objects_.erase(it);
  handle_of_.erase(object.get());
  object.reset();  // the object is destroyed here unless something else holds it
  return nullptr;
}

json Session::ErrorData(const AutomationError& e) const {
  return {{"number", e.number()},
          {"source", e.source()},
          {"description", e.description()},
          {"messages", messages_}};
}

json Session::Invoke(const json& params) {
  CheckParams(params, {"object", "member", "kind", "args", "named", "idempotency_key"});
  std::shared_ptr<Object> target = ObjectOf(HandleParam(params));
  const json& member_json = Required(params, "member");
  if (!member_json.is_string() || member_json.get_ref<const std::string&>().empty())
    throw InvalidParams("\"member\" must be a member name");
  const std::string& member = member_json.get_ref<const std::string&>();
  if (!IsValidUtf8(member)) throw InvalidParams("\"member\" is not valid UTF-8");
  const typelib::Kind kind = KindParam(params);
  const std::optional<std::string> key = KeyParam(params);
  const bool assigns = kind == typelib::Kind::kLet || kind == typelib::Kind::kSet;

  std::vector<Variant> args;
  if (auto it = params.find("args"); it != params.end() && !it->is_null()) {
    if (!it->is_array()) throw InvalidParams("\"args\" must be a list");
    args.reserve(it->size());
    for (const json& a : *it) args.push_back(JsonToVariant(a, *this));
  }
  NamedArgs named;
  if (auto it = params.find("named"); it != params.end() && !it->is_null()) {
    if (!it->is_object()) throw InvalidParams("\"named\" must be an object");
    for (const auto& [name, value] : it->items()) {
      if (!IsValidUtf8(name)) throw InvalidParams("a parameter name is not valid UTF-8");
      named.emplace_back(name, JsonToVariant(value, *this));
    }
  }
  // An assignment needs its value as the last positional argument.
  if (assigns && args.empty()) RaiseRuntimeError(runtime_error::kWrongArgCount);
  // The value assigned decides between let and set; kept to find the member
  // again when by-reference results of named arguments need their names.
  std::vector<Variant> resolve_args;
  if (assigns && !named.empty()) resolve_args.push_back(args.back());

  // A posting or cancelling call with a key: its answer is kept, or was.
  std::optional<server::KeptCall> kept;
  if (auto* enlace = dynamic_cast<server::Enlace*>(target.get()); enlace && key) {
    const typelib::MemberInfo* info = nullptr;
    try {
      info = &ResolveMember(target->info(), member, kind, resolve_args);
    } catch (const AutomationError&) {
      // Not a member: the call below refuses it.
    }
    if (info != nullptr && server::KeepsAnswers(*info)) {
      kept.emplace(*enlace, *info, *key, CallText(*info, params));
      if (!kept->active()) {
        kept.reset();
      } else if (const auto& answer = kept->kept()) {
        if (auto error = answer->find("error"); error != answer->end())
          throw KeptErrorAnswer(*error);
        return answer->at("result");
      }
    }
  }
  if (!kept) return Call(*target, member, kind, std::move(args), named, resolve_args);
  try {
    json result = Call(*target, member, kind, std::move(args), named, resolve_args);
    kept->Keep({{"result", result}});
    return result;
  } catch (const AutomationError& e) {
    // An error that reports a problem of a posting that is kept is its
    // answer; any other leaves nothing written, and the key free.
    if (server::KeptCall::ErrorKeepsChanges()) {
      CollectMessages();
      kept->Keep(
          {{"error", ErrorAnswer(nullptr, e.number(), e.description(), ErrorData(e)).at("error")}});
    }
    throw;
  }
}

json Session::Call(Object& target, const std::string& member, typelib::Kind kind,
                   std::vector<Variant> args, const NamedArgs& named,
                   const std::vector<Variant>& resolve_args) {
  const bool assigns = kind == typelib::Kind::kLet || kind == typelib::Kind::kSet;
  // Which positions the caller filled, to tell positional by-reference
  // results from named ones.
  const size_t positional = args.size() - (assigns ? 1 : 0);
  std::vector<bool> passed(positional);
  for (size_t i = 0; i < positional; ++i) passed[i] = !args[i].IsMissing();

  InvokeResult r = qrole::Invoke(target, member, kind, std::move(args), named);
  CollectMessages();

  json byref = json::object();
  const typelib::MemberInfo* info = nullptr;
  for (auto& [position, value] : r.byref) {
    const auto pos = static_cast<size_t>(position);
    std::string key;
    if (pos < positional && passed[pos]) {
      key = std::to_string(pos);
    } else {
      // Passed by name: reported under the name the caller used.
      if (!info) info = &ResolveMember(target.info(), member, kind, resolve_args);
      const std::string folded = typelib::FoldName(info->params.at(pos).name);
      for (const auto& [name, v] : named)
        if (typelib::FoldName(name) == folded) key = name;
      if (key.empty()) key = info->params.at(pos).name;
    }
    byref[key] = VariantToJson(value, *this);
  }
  json result = {{"value", VariantToJson(r.value, *this)}, {"byref", std::move(byref)}};
  if (!messages_.empty()) result["messages"] = messages_;
  return result;
}

}  // namespace qrole::rpc
