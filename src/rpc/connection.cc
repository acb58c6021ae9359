#include "rpc/connection.h"

#include <iostream>
#include <utility>

namespace qrole::rpc {

namespace {

// Unsent answers beyond which reading pauses.
constexpr size_t kMaxPendingOutput = 8 * 1024 * 1024;

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

}  // namespace

Connection::Connection(Socket socket, std::unique_ptr<Session> session, size_t max_message_bytes,
                       std::string name, ClosedCallback on_closed)
    : socket_(std::move(socket)),
      session_(std::move(session)),
      max_message_bytes_(max_message_bytes),
      name_(std::move(name)),
      on_closed_(std::move(on_closed)) {}

void Connection::Start() { Pump(); }

void Connection::Read() {
  read_in_progress_ = true;
  socket_.async_read_some(asio::buffer(chunk_), [self = shared_from_this()](
                                                    const asio::error_code& ec, size_t n) {
    self->read_in_progress_ = false;
    if (self->closed_) return;
    if (ec) {
      if (ec != asio::error::eof && ec != asio::error::connection_reset)
        std::cerr << "qrole-server: " << self->name_ << ": read failed: " << ec.message() << "\n";
      self->peer_done_ = true;
    } else {
      self->buffer_.append(self->chunk_.data(), n);
    }
    self->Pump();
  });
}

void Connection::Write() {
  if (write_in_progress_ || pending_.empty()) return;
  writing_.swap(pending_);
  pending_.clear();
  write_in_progress_ = true;
  asio::async_write(socket_, asio::buffer(writing_),
                    [self = shared_from_this()](const asio::error_code& ec, size_t) {
                      self->write_in_progress_ = false;
                      self->writing_.clear();
                      if (self->closed_) return;
                      if (ec) {
                        if (ec != asio::error::broken_pipe && ec != asio::error::connection_reset)
                          std::cerr << "qrole-server: " << self->name_
                                    << ": write failed: " << ec.message() << "\n";
                        self->Close();
                        return;
                      }
                      self->Pump();
                    });
}

void Connection::Pump() {
  if (closed_) return;
  bool backlog = false;
  if (!close_after_write_) {
    try {
      backlog = RunLines();
    } catch (const std::exception& e) {
      // Only a failure outside every call gets here (out of memory while
      // writing an answer); the connection cannot go on in step.
      std::cerr << "qrole-server: " << name_ << ": " << e.what() << "; closing\n";
      Session::AppendError(kInternalError, std::string("Internal error: ") + e.what(), &pending_);
      close_after_write_ = true;
      backlog = false;
    }
  }
  if (peer_done_ && !backlog && !buffer_.empty() && !close_after_write_) {
    std::cerr << "qrole-server: " << name_ << ": client left in the middle of a message ("
              << buffer_.size() << " bytes dropped)\n";
    buffer_.clear();
  }
  Write();
  if (close_after_write_ || peer_done_) {
    if (!write_in_progress_ && !backlog) Close();
    return;
  }
  if (!backlog && !read_in_progress_) Read();
}

bool Connection::RunLines() {
  size_t start = 0;
  size_t search = scanned_;
  bool backlog = false;
  while (true) {
    if (pending_.size() >= kMaxPendingOutput) {
      backlog = true;
      break;
    }
    size_t newline = buffer_.find('\n', search);
    if (newline == std::string::npos) break;
    std::string_view line(buffer_.data() + start, newline - start);
    if (line.size() > max_message_bytes_) {
      close_after_write_ = true;
      break;
    }
    if (!IsBlank(line)) session_->HandleMessage(line, &pending_);
    start = newline + 1;
    search = start;
    if (session_->should_close()) {
      close_after_write_ = true;
      buffer_.clear();
      scanned_ = 0;
      return false;
    }
  }
  if (!close_after_write_) {
    buffer_.erase(0, start);
    scanned_ = backlog ? 0 : buffer_.size();
    if (backlog || buffer_.size() <= max_message_bytes_) return backlog;
  }
  // A message longer than the limit, complete or not.
  std::cerr << "qrole-server: " << name_ << ": message longer than " << max_message_bytes_
            << " bytes; closing\n";
  Session::AppendError(
      kInvalidRequest,
      "Invalid Request: message longer than " + std::to_string(max_message_bytes_) + " bytes",
      &pending_);
  close_after_write_ = true;
  buffer_.clear();
  buffer_.shrink_to_fit();
  scanned_ = 0;
  return false;
}

void Connection::Close() {
  if (closed_) return;
  closed_ = true;
  size_t released = session_->ReleaseAll();
  asio::error_code ignored;
  socket_.shutdown(asio::socket_base::shutdown_both, ignored);
  socket_.close(ignored);
  std::cerr << "qrole-server: " << name_ << " closed; released " << released << " object"
            << (released == 1 ? "" : "s") << "\n";
  if (on_closed_) {
    ClosedCallback callback = std::move(on_closed_);
    on_closed_ = nullptr;
    callback(this);
  }
}

}  // namespace qrole::rpc
