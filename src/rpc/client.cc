#include "qrole/client.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace qrole {

namespace {

using nlohmann::json;

std::string Errno(int err) { return std::strerror(err); }

const char* KindName(Client::Kind kind) {
  switch (kind) {
    case Client::Kind::kGet:
      return "get";
    case Client::Kind::kLet:
      return "let";
    case Client::Kind::kSet:
      return "set";
    case Client::Kind::kMethod:
      break;
  }
  return "method";
}

}  // namespace

RemoteError::RemoteError(int64_t code, std::string description, json data)
    : std::runtime_error(std::to_string(code) + ": " + description),
      code_(code),
      number_(static_cast<int32_t>(code)),
      description_(std::move(description)),
      messages_(json::array()),
      data_(std::move(data)) {
  if (data_.is_object()) {
    if (auto it = data_.find("number"); it != data_.end() && it->is_number_integer())
      number_ = it->get<int32_t>();
    if (auto it = data_.find("source"); it != data_.end() && it->is_string())
      source_ = it->get<std::string>();
    if (auto it = data_.find("description"); it != data_.end() && it->is_string())
      description_ = it->get<std::string>();
    if (auto it = data_.find("messages"); it != data_.end() && it->is_array()) messages_ = *it;
  }
}

bool RemoteError::is_automation_error() const {
  return data_.is_object() && data_.contains("number") && data_.contains("source");
}

Client Client::Connect(const std::string& socket_path) {
  sockaddr_un addr{};
  if (socket_path.size() >= sizeof addr.sun_path)
    throw ConnectionError("socket path too long: " + socket_path);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ConnectionError("socket: " + Errno(errno));
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, socket_path.c_str(), socket_path.size() + 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    throw ConnectionError("cannot connect to " + socket_path + ": " + Errno(err));
  }
  return Client(fd);
}

int Client::ConnectTcpSocket(const std::string& host, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) throw ConnectionError("cannot resolve " + host + ": " + ::gai_strerror(rc));
  std::string last_error = "no address";
  for (addrinfo* a = found; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      last_error = Errno(errno);
      continue;
    }
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      ::freeaddrinfo(found);
      return fd;
    }
    last_error = Errno(errno);
    ::close(fd);
  }
  ::freeaddrinfo(found);
  throw ConnectionError("cannot connect to " + host + ":" + service + ": " + last_error);
}

Client Client::ConnectTcp(const std::string& host, uint16_t port, const std::string& token) {
  Client c(ConnectTcpSocket(host, port));
  c.Auth(token);
  return c;
}

Client Client::ConnectTcpUnauthenticated(const std::string& host, uint16_t port) {
  return Client(ConnectTcpSocket(host, port));
}

Client::Client(Client&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), next_id_(other.next_id_), in_(std::move(other.in_)) {}

Client& Client::operator=(Client&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    next_id_ = other.next_id_;
    in_ = std::move(other.in_);
  }
  return *this;
}

Client::~Client() { Close(); }

void Client::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void Client::ShutdownSend() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void Client::SendRaw(std::string_view bytes) {
  if (fd_ < 0) throw ConnectionError("not connected");
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ConnectionError("send: " + Errno(errno));
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

std::optional<std::string> Client::ReadLine(int timeout_ms) {
  if (fd_ < 0) throw ConnectionError("not connected");
  size_t searched = 0;
  while (true) {
    size_t newline = in_.find('\n', searched);
    if (newline != std::string::npos) {
      std::string line = in_.substr(0, newline);
      in_.erase(0, newline + 1);
      return line;
    }
    searched = in_.size();
    if (timeout_ms >= 0) {
      pollfd p{fd_, POLLIN, 0};
      int rc = ::poll(&p, 1, timeout_ms);
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0) throw ConnectionError("poll: " + Errno(errno));
      if (rc == 0) throw ConnectionError("no answer within " + std::to_string(timeout_ms) + " ms");
    }
    char buf[64 * 1024];
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == ECONNRESET) return std::nullopt;
      throw ConnectionError("recv: " + Errno(errno));
    }
    if (n == 0) return std::nullopt;  // a partial last line is dropped
    in_.append(buf, static_cast<size_t>(n));
  }
}

json Client::ReadMessage(int timeout_ms) {
  std::optional<std::string> line = ReadLine(timeout_ms);
  if (!line) throw ConnectionError("the server closed the connection");
  json message = json::parse(*line, nullptr, false);
  if (message.is_discarded()) throw ConnectionError("the server sent text that is not JSON");
  return message;
}

json Client::RequestRaw(const std::string& method, json params) {
  const int64_t id = next_id_++;
  json request = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
  if (!params.is_null()) request["params"] = std::move(params);
  SendRaw(request.dump() + "\n");
  json answer = ReadMessage();
  if (!answer.is_object() || !answer.contains("id") || answer["id"] != id)
    throw ConnectionError("unexpected answer: " + answer.dump());
  return answer;
}

json Client::Request(const std::string& method, json params) {
  json answer = RequestRaw(method, std::move(params));
  if (auto error = answer.find("error"); error != answer.end()) {
    if (!error->is_object() || !error->contains("code"))
      throw ConnectionError("malformed error answer: " + answer.dump());
    throw RemoteError((*error)["code"].get<int64_t>(), error->value("message", std::string()),
                      error->value("data", json()));
  }
  if (!answer.contains("result")) throw ConnectionError("answer without result: " + answer.dump());
  return std::move(answer["result"]);
}

void Client::Auth(const std::string& token) {
  json result = Request("auth", {{"token", token}});
  if (result != true) throw ConnectionError("auth answered " + result.dump());
}

int64_t Client::Create(const std::string& class_name) {
  return HandleOf(Request("create", {{"class", class_name}}));
}

json Client::Invoke(int64_t object, const std::string& member, Kind kind, json args, json named) {
  json params = {{"object", object}, {"member", member}, {"kind", KindName(kind)}};
  if (!args.is_null()) params["args"] = std::move(args);
  if (named.is_object() && !named.empty()) params["named"] = std::move(named);
  return Request("invoke", std::move(params));
}

json Client::Call(int64_t object, const std::string& member, json args) {
  return Invoke(object, member, Kind::kMethod, std::move(args))["value"];
}

json Client::Get(int64_t object, const std::string& member, json args) {
  return Invoke(object, member, Kind::kGet, std::move(args))["value"];
}

void Client::Let(int64_t object, const std::string& member, json value, json args) {
  if (!args.is_array()) args = json::array();
  args.push_back(std::move(value));
  Invoke(object, member, Kind::kLet, std::move(args));
}

void Client::Set(int64_t object, const std::string& member, std::optional<int64_t> value) {
  Invoke(object, member, Kind::kSet, json::array({value ? ObjectArg(*value) : NothingArg()}));
}

void Client::Release(int64_t object) { Request("release", {{"object", object}}); }

json ObjectArg(int64_t handle) { return {{"$object", handle}}; }
json NothingArg() { return {{"$object", nullptr}}; }
json Missing() { return {{"$missing", true}}; }
json NullValue() { return {{"$null", true}}; }

int64_t HandleOf(const json& value) {
  if (!value.is_object() || !value.contains("$object") || !value["$object"].is_number_integer())
    throw ConnectionError("not an object reference: " + value.dump());
  return value["$object"].get<int64_t>();
}

}  // namespace qrole
