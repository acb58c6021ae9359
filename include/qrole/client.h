// A small synchronous client of qrole-server.
//
//   qrole::Client c = qrole::Client::Connect("/run/user/1000/qrole/qrole.sock");
//   int64_t e = c.Create("Enlace");
//   c.Let(e, "Canal", "7");
//   nlohmann::json canal = c.Get(e, "Canal");     // "007"
//   nlohmann::json r = c.Invoke(e, "MASTER", qrole::Client::Kind::kMethod,
//                               {"5", "", "QV7501"});
//   // r["value"], r["byref"]["0"], r["messages"]
//   c.Release(e);
//
// Values are JSON as the socket contract writes them; ObjectArg, Missing and
// NullValue build the "$" forms. Every call blocks until its answer arrives.
// An error answer is thrown as RemoteError; a broken connection or an answer
// that is not JSON-RPC as ConnectionError. A Client is not thread-safe; use
// one per thread.
//
// Depends on nlohmann-json only.

#ifndef QROLE_CLIENT_H_
#define QROLE_CLIENT_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qrole {

// The connection failed, closed, or the server answered something that is
// not a JSON-RPC answer to the request.
class ConnectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An error answer. For an automation error `number` is its number (as the
// client's Err.Number shows it) and `source`/`description` are set; for a
// refusal of the protocol (-32700 ... -32600, -32001) `number` is the
// JSON-RPC code, `source` is empty and `description` is the message.
class RemoteError : public std::runtime_error {
 public:
  RemoteError(int64_t code, std::string description, nlohmann::json data);

  int64_t code() const { return code_; }  // the JSON-RPC error code
  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }
  // The message boxes the call showed (a list, maybe empty).
  const nlohmann::json& messages() const { return messages_; }
  const nlohmann::json& data() const { return data_; }
  // True for an automation error (one that carries number and source).
  bool is_automation_error() const;

 private:
  int64_t code_;
  int32_t number_;
  std::string source_;
  std::string description_;
  nlohmann::json messages_;
  nlohmann::json data_;
};

class Client {
 public:
  enum class Kind { kMethod, kGet, kLet, kSet };

  // Connects to the Unix socket at `socket_path`. Throws ConnectionError.
  static Client Connect(const std::string& socket_path);
  // Connects to host:port and authenticates with `token` (auth). Throws
  // ConnectionError, or RemoteError when the token is refused.
  static Client ConnectTcp(const std::string& host, uint16_t port, const std::string& token);
  // Connects to host:port without authenticating (to test refusals).
  static Client ConnectTcpUnauthenticated(const std::string& host, uint16_t port);

  Client(Client&& other) noexcept;
  Client& operator=(Client&& other) noexcept;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client();  // closes the connection

  // Creates an object of class `class_name`; returns its handle.
  int64_t Create(const std::string& class_name);
  // Calls `member` of `object`: returns the result object
  // {"value": V, "byref": {...}, "messages": [...]} ("messages" only when a
  // box was shown). Throws RemoteError for an error answer.
  nlohmann::json Invoke(int64_t object, const std::string& member, Kind kind = Kind::kMethod,
                        nlohmann::json args = nlohmann::json::array(),
                        nlohmann::json named = nlohmann::json::object());
  // The value of a method call, a property get or a field.
  nlohmann::json Call(int64_t object, const std::string& member,
                      nlohmann::json args = nlohmann::json::array());
  nlohmann::json Get(int64_t object, const std::string& member,
                     nlohmann::json args = nlohmann::json::array());
  // Assigns `value` to a property or field (with `args` for a property with
  // parameters).
  void Let(int64_t object, const std::string& member, nlohmann::json value,
           nlohmann::json args = nlohmann::json::array());
  // Assigns an object (a handle, or nullopt for Nothing).
  void Set(int64_t object, const std::string& member, std::optional<int64_t> value);
  void Release(int64_t object);
  // Sends auth; returns when accepted (throws RemoteError otherwise).
  void Auth(const std::string& token);

  // Any JSON-RPC request: returns its "result"; throws RemoteError for an
  // error answer.
  nlohmann::json Request(const std::string& method, nlohmann::json params);
  // Any JSON-RPC request: returns the whole answer (result or error).
  nlohmann::json RequestRaw(const std::string& method, nlohmann::json params);

  // Low level, for tests of the protocol itself.
  // Sends bytes as they are. Throws ConnectionError when the server closed.
  void SendRaw(std::string_view bytes);
  // The next line from the server (without '\n'), or nullopt when the server
  // closed the connection. `timeout_ms` < 0 waits for ever; a timeout throws
  // ConnectionError.
  std::optional<std::string> ReadLine(int timeout_ms = -1);
  // The next line, parsed; throws ConnectionError at the end of the stream.
  nlohmann::json ReadMessage(int timeout_ms = -1);
  // Closes the sending side (the server then finishes and closes).
  void ShutdownSend();
  void Close();
  int fd() const { return fd_; }

 private:
  explicit Client(int fd) : fd_(fd) {}
  static int ConnectTcpSocket(const std::string& host, uint16_t port);

  int fd_ = -1;
  int64_t next_id_ = 1;
  std::string in_;  // bytes received and not yet returned
};

// {"$object": handle}: an object argument.
nlohmann::json ObjectArg(int64_t handle);
// {"$object": null}: Nothing.
nlohmann::json NothingArg();
// {"$missing": true}: an optional argument left out.
nlohmann::json Missing();
// {"$null": true}: the Null value.
nlohmann::json NullValue();
// The handle in an object value {"$object": N, ...}; throws ConnectionError
// when `value` is not one.
int64_t HandleOf(const nlohmann::json& value);

}  // namespace qrole

#endif  // QROLE_CLIENT_H_
