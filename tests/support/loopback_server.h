#pragma once
// A web server on the loopback address that counts the requests it gets: a test names
// its address in a hostile clip and expects it to see none.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace mw::test {

// Listens on 127.0.0.1 at a free port until destroyed; answers every request with
// "404 Not Found" and remembers its first line.
class LoopbackServer {
 public:
  LoopbackServer() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(socket_, 8) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (socket_ >= 0) ::close(socket_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Listening() const { return port_ != 0; }
  // "http://127.0.0.1:PORT/" followed by `path`.
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
  }
  // How many connections were made to the server so far.
  int Requests() const { return requests_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd waiting{socket_, POLLIN, 0};
      if (::poll(&waiting, 1, 50) <= 0) continue;
      const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      ++requests_;
      char request[512];
      pollfd reading{client, POLLIN, 0};
      if (::poll(&reading, 1, 1000) > 0) (void)::read(client, request, sizeof request);
      static const char kAnswer[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
      (void)::write(client, kAnswer, sizeof kAnswer - 1);
      ::close(client);
    }
  }

  int socket_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace mw::test
