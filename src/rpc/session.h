// The protocol of one connection of qrole-server, apart from its transport.
//
// A Session reads JSON-RPC 2.0 messages (one line each, or a batch in one
// line) and writes their answers. It holds the connection's objects: every
// object created by, or returned to, the connection has a handle there;
// handles are unique across the whole server (HandleSource), so a handle of
// another connection is simply not found. Methods:
//
//   create  {"class": C}                  -> {"$object": N, "class": C}
//   invoke  {"object": N, "member": M, "kind": K, "args": [...], "named": {...},
//            "idempotency_key": KEY}      -> {"value": V, "byref": {...}, "messages": [...]}
//   release {"object": N}                 -> null
//   auth    {"token": T}                  -> true
//
// Errors: an AutomationError is answered with its number as the code and
// {"number", "source", "description", "messages"} as data; malformed JSON
// -32700, a message that is not a request -32600, an unknown method -32601,
// unacceptable parameters -32602, any other failure of a call -32603 with its
// text, a call before auth on a connection that needs it -32001.
//
// An invoke of a posting or cancelling member of an Enlace with an
// idempotency key runs under a server::KeptCall: the first call's answer (its
// result, or an error that reports a problem of a posting that was kept) is
// kept with the books, and a later call with the key gets that answer again
// word for word, message boxes included.
//
// Not thread-safe: the server runs every session on its one thread.

#ifndef QROLE_RPC_SESSION_H_
#define QROLE_RPC_SESSION_H_

#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/dispatcher.h"
#include "automation/object.h"
#include "qrole/error.h"
#include "rpc/value_json.h"

namespace qrole::rpc {

// JSON-RPC error codes.
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
// A call on a TCP connection that has not authenticated, or a wrong token.
inline constexpr int kNotAuthenticated = -32001;

// Gives out the object handles of a server: 1, 2, 3, ...
class HandleSource {
 public:
  int64_t Next() { return next_++; }

 private:
  int64_t next_ = 1;
};

class Session : private ObjectRefs {
 public:
  struct Options {
    // Every call but auth is refused until auth succeeds (TCP connections).
    bool requires_auth = false;
    // The token auth compares with; empty when none is configured.
    std::string token;
  };

  // `handles` must outlive the session.
  Session(HandleSource* handles, Options options);
  ~Session() override;  // releases every object
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Handles one message: the text of one line, without its '\n'. Appends the
  // answer, ended by '\n', to `*out`; nothing for a notification or a batch
  // of notifications.
  void HandleMessage(std::string_view line, std::string* out);

  // True once the connection must close after sending what was answered
  // (a wrong auth token).
  bool should_close() const { return should_close_; }

  // Releases every object of the connection, oldest handle first (destroying
  // the objects nobody else holds). Returns how many handles there were.
  size_t ReleaseAll();
  size_t object_count() const { return objects_.size(); }

  // Gives the connection a handle for an object made elsewhere (the same
  // handle as before when it already holds the object).
  int64_t Adopt(const std::shared_ptr<Object>& object) { return HandleOf(object); }

  // Appends an error answer with id null (for failures found by the
  // transport, such as a line that is too long).
  static void AppendError(int code, const std::string& message, std::string* out);

 private:
  // ObjectRefs.
  int64_t HandleOf(const std::shared_ptr<Object>& object) override;
  std::shared_ptr<Object> ObjectOf(int64_t handle) override;

  // The answer to one request, or nullopt for a notification.
  std::optional<nlohmann::json> HandleRequest(const nlohmann::json& request);
  nlohmann::json Dispatch(const std::string& method, const nlohmann::json& params);
  nlohmann::json Create(const nlohmann::json& params);
  nlohmann::json Invoke(const nlohmann::json& params);
  // Calls the member and builds the invoke's result.
  nlohmann::json Call(Object& target, const std::string& member, typelib::Kind kind,
                      std::vector<Variant> args, const NamedArgs& named,
                      const std::vector<Variant>& resolve_args);
  // The "data" of an automation error's answer, with the boxes shown so far.
  nlohmann::json ErrorData(const AutomationError& e) const;
  nlohmann::json Release(const nlohmann::json& params);
  nlohmann::json Auth(const nlohmann::json& params);
  // Moves the message boxes shown since the last call into messages_.
  void CollectMessages();

  HandleSource* handles_;
  Options options_;
  bool authenticated_ = false;
  bool should_close_ = false;
  std::map<int64_t, std::shared_ptr<Object>> objects_;
  std::unordered_map<const Object*, int64_t> handle_of_;
  nlohmann::json messages_ = nlohmann::json::array();  // boxes of the request in progress
};

}  // namespace qrole::rpc

#endif  // QROLE_RPC_SESSION_H_
