// The score service's HTTP layer. A few event-loop threads hold every connection, however slow
// or idle, at the cost of a small buffer each; requests go to the service on a fixed pool of
// workers, so a database that stalls holds up replies, never the reading of new requests.
//
// What the open internet sends is bounded here: every request must arrive whole within
// RequestTimeout, headers are counted as they arrive (431 as soon as there are too many), bodies
// have a bound (413), each address holds a bounded number of connections, and the process holds
// a bounded number in all.
#include "server/http_server.hpp"

#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace zw::scores {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

std::string LogEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7f || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

bool ForwardedClient(const std::vector<std::string>& forwardedLines, std::string& client) {
  // Entries a client sent itself come first; each proxy appends what it saw, so the trusted
  // proxy's entry is the very last one.
  for (auto line = forwardedLines.rbegin(); line != forwardedLines.rend(); ++line) {
    const std::string& v = *line;
    const size_t comma = v.rfind(',');
    std::string_view last(v);
    if (comma != std::string::npos) last.remove_prefix(comma + 1);
    while (!last.empty() && (last.front() == ' ' || last.front() == '\t')) last.remove_prefix(1);
    while (!last.empty() && (last.back() == ' ' || last.back() == '\t')) last.remove_suffix(1);
    if (last.empty() && comma == std::string::npos) continue;  // an empty line adds nothing
    if (!IsIpAddress(last)) return false;
    client = std::string(last);
    return true;
  }
  return false;
}

namespace {

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool IsLoopback(const asio::ip::address& a) {
  if (a.is_v6() && a.to_v6().is_v4_mapped())
    return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).is_loopback();
  return a.is_loopback();
}

std::string AddressText(const asio::ip::address& a) {
  if (a.is_v6() && a.to_v6().is_v4_mapped())
    return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
  return a.to_string();
}

// Every reply, whatever route or refusal made it, carries these. The pages use one inline style
// block and pictures from this service, and nothing else: no scripts, no frames, no forms.
const char* const SecurityHeaders =
    "Content-Security-Policy: default-src 'none'; img-src 'self'; style-src 'unsafe-inline'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: DENY\r\n"
    "Referrer-Policy: no-referrer\r\n";

std::string Serialize(const THttpReply& reply, bool keepAlive) {
  const auto status = static_cast<http::status>(reply.Status);
  const beast::string_view reason = http::obsolete_reason(status);
  std::string s = "HTTP/1.1 " + std::to_string(reply.Status) + " " +
                  std::string(reason.data(), reason.size()) + "\r\n";
  s += "Content-Type: " + reply.ContentType + "\r\n";
  const int64_t length =
      reply.HeadLength >= 0 ? reply.HeadLength : static_cast<int64_t>(reply.Body.size());
  s += "Content-Length: " + std::to_string(length) + "\r\n";
  for (const auto& [k, v] : reply.Headers) s += k + ": " + v + "\r\n";
  s += SecurityHeaders;
  s += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  s += reply.Body;
  return s;
}

THttpReply Refusal(int status, std::string text) {
  THttpReply r;
  r.Status = status;
  r.Body = std::move(text) + "\n";
  return r;
}

}  // namespace

struct THttpServer::TImpl {
  TImpl(TScoreService& service, THttpServerOptions options)
      : Service(service),
        Options(std::move(options)),
        Workers(static_cast<size_t>(std::max(1, Options.Workers))),
        Acceptor(Io),
        Signals(Io, SIGTERM, SIGINT) {}

  void Log(const std::string& client, std::string_view method, std::string_view target, int status,
           size_t bytes) {
    if (Options.Quiet) return;
    // One write per line, so lines from several threads never interleave.
    std::string line = LogEscape(client) + " " + LogEscape(method) + " " +
                       LogEscape(target.substr(0, 200)) + " " + std::to_string(status) + " " +
                       std::to_string(bytes) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }

  // Counts a new connection from key against the bounds; false when it must be refused.
  bool Admit(const std::string& key, bool exempt, int& refusal) {
    std::lock_guard lock(CountMutex);
    if (Open >= static_cast<size_t>(Options.MaxConnections)) {
      refusal = 1;
      return false;
    }
    if (!exempt) {
      int& n = PerAddress[key];
      if (n >= Options.MaxPerAddress) {
        refusal = 2;
        return false;
      }
      ++n;
    }
    ++Open;
    return true;
  }

  void Release(const std::string& key, bool exempt) {
    bool last = false;
    {
      std::lock_guard lock(CountMutex);
      --Open;
      last = Open == 0;
      if (!exempt) {
        auto it = PerAddress.find(key);
        if (it != PerAddress.end() && --it->second <= 0) PerAddress.erase(it);
      }
      // A burst of connections leaves freed memory in the allocator's pools: hand it back once
      // the burst is over.
      if (!last) SinceTrim = std::max(SinceTrim, Open);
      if (last && SinceTrim < 256) last = false;
      if (last) SinceTrim = 0;
    }
    if (last && !Stopped) asio::post(Workers, [] { malloc_trim(0); });
  }

  void Accept();

  // A submission handed to the store, and its answer back; the last lets a closing server go.
  void Handing() {
    std::lock_guard lock(HandMutex);
    ++Handed;
  }
  void Answered() {
    std::lock_guard lock(HandMutex);
    if (--Handed == 0) HandDone.notify_all();
  }

  TScoreService& Service;
  THttpServerOptions Options;
  // Declared before the event loop: connections still held by it when it goes release their
  // counts here.
  std::mutex CountMutex;
  size_t Open = 0;
  size_t SinceTrim = 0;
  std::unordered_map<std::string, int> PerAddress;
  std::atomic<bool> Stopped{false};
  // Submissions handed to the store and not yet answered: their answers reach this server from
  // the store's thread, so it must not go before they have.
  int Handed = 0;
  std::mutex HandMutex;
  std::condition_variable HandDone;
  asio::io_context Io;
  asio::thread_pool Workers;
  tcp::acceptor Acceptor;
  asio::signal_set Signals;
  std::optional<asio::steady_timer> AcceptRetry;
};

namespace {

class TConnection : public std::enable_shared_from_this<TConnection> {
 public:
  TConnection(THttpServer::TImpl& server, tcp::socket socket, std::string peer, std::string key,
              bool trustedProxy)
      : server_(server),
        socket_(std::move(socket)),
        timer_(socket_.get_executor()),
        peer_(std::move(peer)),
        key_(std::move(key)),
        trustedProxy_(trustedProxy) {}

  ~TConnection() { server_.Release(key_, trustedProxy_ && server_.Options.BehindProxy); }

  void Start() { NextRequest(); }

 private:
  enum class EState { Reading, Working, Writing, Closing };

  void Arm(int seconds) {
    timer_.expires_after(std::chrono::seconds(seconds));
    timer_.async_wait([self = shared_from_this()](beast::error_code ec) { self->OnTimer(ec); });
  }

  void OnTimer(beast::error_code ec) {
    if (ec || timer_.expiry() > Clock::now() || closed_) return;
    if (state_ == EState::Reading && started_) {
      // Part of a request came, the rest not in time: say so, then hang up.
      Refuse(408, "the request did not arrive in time");
      return;
    }
    if (state_ == EState::Working) return;
    Close();
  }

  void NextRequest() {
    state_ = EState::Reading;
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(MaxHeaderBytes + 1024));
    parser_->body_limit(server_.Options.MaxBody);
    parser_->eager(true);
    continued_ = false;
    scanned_ = lineStart_ = lines_ = headEnd_ = consumed_ = 0;
    requestLine_.clear();
    started_ = buffer_.size() > 0;
    // An idle connection may wait for its next request only as long as keep-alive allows; a
    // request once begun has its whole-request deadline.
    Arm(started_ ? server_.Options.RequestTimeout : server_.Options.KeepAlive);
    if (started_)
      Parse();
    else
      ReadMore();
  }

  void ReadMore() {
    socket_.async_read_some(
        buffer_.prepare(8192),
        [self = shared_from_this()](beast::error_code ec, size_t n) { self->OnRead(ec, n); });
  }

  void OnRead(beast::error_code ec, size_t n) {
    if (closed_) return;
    if (ec) {
      // The client hung up (or half-closed with nothing more to ask): whatever it began and
      // did not finish is dropped.
      if (started_ && ec == asio::error::eof)
        Refuse(400, "the request ended early");
      else
        Close();
      return;
    }
    buffer_.commit(n);
    if (!started_) {
      started_ = true;
      Arm(server_.Options.RequestTimeout);
    }
    Parse();
  }

  // Counts the header lines and bytes that arrived since the last call (the parser takes the
  // request line as soon as it is whole, the fields only once all of them are); the status to
  // refuse with, or 0.
  int HeaderOverLimit() {
    const auto* data = static_cast<const char*>(buffer_.data().data());
    const size_t size = buffer_.size();
    for (; scanned_ < size && !headEnd_; ++scanned_) {
      if (data[scanned_] != '\n') continue;
      const size_t len = scanned_ - lineStart_;
      if (lines_ > 0 && (len == 0 || (len == 1 && data[scanned_ - 1] == '\r'))) {
        headEnd_ = scanned_ + 1;
        break;
      }
      if (lines_ == 0)
        requestLine_.assign(data, len > 0 && data[scanned_ - 1] == '\r' ? len - 1 : len);
      ++lines_;
      lineStart_ = scanned_ + 1;
    }
    // The request line is the first; the rest are header fields.
    const size_t bytes = consumed_ + (headEnd_ ? headEnd_ : size);
    if (lines_ > MaxHeaderLines + 1 || bytes > MaxHeaderBytes) return 431;
    return 0;
  }

  void Parse() {
    if (!parser_->is_header_done()) {
      if (const int status = HeaderOverLimit()) {
        Refuse(status, "too many or too long header fields");
        return;
      }
    }
    beast::error_code ec;
    while (!parser_->is_done()) {
      const bool inHeader = !parser_->is_header_done();
      const size_t used = parser_->put(buffer_.data(), ec);
      buffer_.consume(used);
      if (inHeader) {
        // Only whole lines already counted are taken: keep the count's place in the buffer.
        consumed_ += used;
        scanned_ -= std::min(scanned_, used);
        lineStart_ -= std::min(lineStart_, used);
        headEnd_ = headEnd_ > used ? headEnd_ - used : 0;
      }
      if (ec == http::error::need_more) {
        ec = {};
        break;
      }
      if (ec) break;
      if (used == 0) break;
    }
    if (ec == http::error::header_limit) {
      Refuse(431, "too many or too long header fields");
      return;
    }
    if (ec == http::error::body_limit) {
      Refuse(413, "the request body is larger than " + std::to_string(server_.Options.MaxBody) +
                      " bytes");
      return;
    }
    if (ec) {
      Refuse(400, "not a request this service understands");
      return;
    }
    if (!parser_->is_done()) {
      if (parser_->is_header_done() && !continued_) {
        continued_ = true;
        const auto& req = parser_->get();
        if (beast::iequals(req[http::field::expect], "100-continue")) {
          static const char cont[] = "HTTP/1.1 100 Continue\r\n\r\n";
          // A few bytes on a fresh connection: they go out at once or the client is gone.
          ::send(socket_.native_handle(), cont, sizeof cont - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        }
      }
      ReadMore();
      return;
    }
    Dispatch();
  }

  void Dispatch() {
    auto& req = parser_->get();
    THttpRequest r;
    r.Method = std::string(req.method_string());
    const std::string_view target(req.target().data(), req.target().size());
    const size_t q = target.find('?');
    r.Path = std::string(target.substr(0, q));
    if (q != std::string_view::npos) r.Query = std::string(target.substr(q + 1));
    r.Client = peer_;
    std::vector<std::string> forwarded;
    for (const auto& f : req) {
      r.Headers.emplace_back(std::string(f.name_string()), std::string(f.value()));
      if (beast::iequals(f.name_string(), "X-Forwarded-For")) forwarded.emplace_back(f.value());
    }
    r.Body = std::move(req.body());
    keepAlive_ = req.keep_alive();
    method_ = r.Method;
    target_ = std::string(target);
    if (server_.Options.BehindProxy && trustedProxy_ && !forwarded.empty()) {
      std::string client;
      if (!ForwardedClient(forwarded, client)) {
        Refuse(400, "X-Forwarded-For does not end in an IP address");
        return;
      }
      r.Client = client;
    }
    client_ = r.Client;
    state_ = EState::Working;
    timer_.cancel();
    // A submission goes straight to the store's writer, whose thread hands the reply back to
    // this connection's loop once its group is committed: no worker in between and no thread
    // waiting on the disk. (Sending from the writer's thread itself was tried: the players it
    // wakes then contend with it, and the next group gathers more slowly.)
    server_.Handing();
    const bool taken =
        server_.Service.HandleSoon(r, Now(), [self = shared_from_this()](THttpReply reply) mutable {
          THttpServer::TImpl& server = self->server_;
          const auto strand = self->socket_.get_executor();
          asio::post(strand, [self = std::move(self), reply = std::move(reply)]() mutable {
            self->Reply(std::move(reply));
          });
          server.Answered();
        });
    if (taken) return;
    server_.Answered();
    asio::post(server_.Workers, [self = shared_from_this(), r = std::move(r)]() mutable {
      THttpReply reply = self->server_.Service.Handle(r, Now());
      asio::post(self->socket_.get_executor(),
                 [self, reply = std::move(reply)]() mutable { self->Reply(std::move(reply)); });
    });
  }

  void Reply(THttpReply reply) {
    if (closed_) return;
    server_.Log(client_, method_, target_, reply.Status, reply.Body.size());
    Write(Serialize(reply, keepAlive_), keepAlive_);
  }

  // Answers a request the HTTP layer itself turns away, then closes the connection.
  void Refuse(int status, std::string text) {
    const auto* data = static_cast<const char*>(buffer_.data().data());
    std::string_view line(data, buffer_.size());
    line = line.substr(0, line.find_first_of("\r\n"));
    if (!requestLine_.empty()) line = requestLine_;
    std::string method = "-", target = "-";
    if (parser_ && parser_->is_header_done()) {
      const auto& req = parser_->get();
      method = std::string(req.method_string());
      target = std::string(req.target());
    } else if (const size_t sp = line.find(' '); sp != std::string_view::npos) {
      method = std::string(line.substr(0, std::min<size_t>(sp, 16)));
      target = std::string(line.substr(sp + 1, line.find(' ', sp + 1) - sp - 1));
    }
    server_.Log(client_.empty() ? peer_ : client_, method, target, status, text.size() + 1);
    buffer_.consume(buffer_.size());
    Write(Serialize(Refusal(status, std::move(text)), false), false);
  }

  void Write(std::string bytes, bool keepAlive) {
    state_ = EState::Writing;
    out_ = std::move(bytes);
    // A client that never takes its reply is dropped once the deadline passes.
    Arm(server_.Options.RequestTimeout);
    asio::async_write(socket_, asio::buffer(out_),
                      [self = shared_from_this(), keepAlive](beast::error_code ec, size_t) {
                        if (self->closed_) return;
                        if (ec) {
                          self->Close();
                          return;
                        }
                        self->out_.clear();
                        self->out_.shrink_to_fit();
                        if (keepAlive)
                          self->NextRequest();
                        else
                          self->Linger();
                      });
  }

  // Closing with unread bytes from the client would reset the connection and could destroy the
  // reply before it is read: stop sending, read what is left for a moment, then close.
  void Linger() {
    state_ = EState::Closing;
    beast::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_send, ec);
    timer_.expires_after(std::chrono::seconds(2));
    timer_.async_wait([self = shared_from_this()](beast::error_code e) {
      if (!e) self->Close();
    });
    Drain();
  }

  void Drain() {
    buffer_.consume(buffer_.size());
    socket_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code ec, size_t) {
                              if (self->closed_) return;
                              if (ec)
                                self->Close();
                              else
                                self->Drain();
                            });
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ec;
    timer_.cancel();
    socket_.close(ec);
  }

  THttpServer::TImpl& server_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::string peer_, key_, client_, method_, target_, out_;
  size_t scanned_ = 0, lineStart_ = 0, lines_ = 0, headEnd_ = 0, consumed_ = 0;
  std::string requestLine_;
  bool trustedProxy_;
  bool started_ = false, continued_ = false, keepAlive_ = false, closed_ = false;
  EState state_ = EState::Reading;
};

}  // namespace

void THttpServer::TImpl::Accept() {
  Acceptor.async_accept(asio::make_strand(Io), [this](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !Acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors, most likely: wait a moment rather than spin.
      AcceptRetry.emplace(Io, std::chrono::milliseconds(100));
      AcceptRetry->async_wait([this](beast::error_code e) {
        if (!e) Accept();
      });
      return;
    }
    beast::error_code e;
    const tcp::endpoint remote = socket.remote_endpoint(e);
    if (e) {
      Accept();
      return;
    }
    socket.set_option(tcp::no_delay(true), e);
    const std::string peer = AddressText(remote.address());
    const std::string key = AddressKey(peer);
    const bool trusted = IsLoopback(remote.address());
    int refusal = 0;
    if (Admit(key, trusted && Options.BehindProxy, refusal)) {
      std::make_shared<TConnection>(*this, std::move(socket), peer, key, trusted)->Start();
    } else {
      const std::string text = refusal == 1 ? "the service is holding too many connections\n"
                                            : "too many connections from this address\n";
      THttpReply r = Refusal(503, text.substr(0, text.size() - 1));
      r.Headers.emplace_back("Retry-After", "5");
      const std::string bytes = Serialize(r, false);
      // Best effort on a fresh connection: a refusal must never wait on its client.
      ::send(socket.native_handle(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      Log(peer, "-", "-", 503, text.size());
      socket.shutdown(tcp::socket::shutdown_send, e);
      socket.close(e);
    }
    Accept();
  });
}

THttpServer::THttpServer(TScoreService& service, THttpServerOptions options)
    : impl_(std::make_unique<TImpl>(service, std::move(options))) {}

THttpServer::~THttpServer() {
  Stop();
  impl_->Workers.join();
  {
    std::unique_lock lock(impl_->HandMutex);
    impl_->HandDone.wait(lock, [this] { return impl_->Handed == 0; });
  }
  impl_->Stopped = true;
}

int THttpServer::Listen(std::string& error) {
  TImpl& s = *impl_;
  beast::error_code ec;
  const asio::ip::address address = asio::ip::make_address(s.Options.Host, ec);
  if (ec) {
    error = "not an IP address: " + s.Options.Host;
    return -1;
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(s.Options.Port));
  s.Acceptor.open(endpoint.protocol(), ec);
  if (!ec) s.Acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) s.Acceptor.bind(endpoint, ec);
  if (!ec) s.Acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = ec.message();
    return -1;
  }
  return s.Acceptor.local_endpoint().port();
}

bool THttpServer::Run() {
  TImpl& s = *impl_;
  s.Signals.async_wait([this](beast::error_code ec, int) {
    if (!ec) Stop();
  });
  s.Accept();
  int threads = s.Options.IoThreads;
  if (threads <= 0)
    threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  std::vector<std::thread> loops;
  for (int i = 1; i < threads; ++i) loops.emplace_back([&s] { s.Io.run(); });
  s.Io.run();
  for (std::thread& t : loops) t.join();
  return true;
}

void THttpServer::Stop() {
  TImpl& s = *impl_;
  asio::post(s.Io, [&s] {
    beast::error_code ec;
    s.Acceptor.close(ec);
    s.Signals.cancel(ec);
    s.Io.stop();
  });
}

}  // namespace zw::scores
