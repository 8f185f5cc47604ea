// A UDP relay on the loopback interface that makes a bad network: every datagram waits a
// delay with jitter, and some are lost, each way. One client (the first address that sends to
// the relay) is joined to one server port.
//
//   udp_relay LISTEN_PORT SERVER_PORT DELAY_MS JITTER_MS LOSS_PERCENT SECONDS REPORT_FILE
//
// Every second it rewrites REPORT_FILE with "seconds up_bytes down_bytes up_datagrams
// down_datagrams" (up: client to server), as they went in (before losses). It stops after
// SECONDS. Nothing leaves 127.0.0.1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Pending {
  Clock::time_point due;
  bool up;
  std::vector<uint8_t> bytes;
};

int Bound(uint16_t port) {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::perror("udp_relay: bind");
    std::exit(1);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: udp_relay LISTEN_PORT SERVER_PORT DELAY_MS JITTER_MS LOSS_PERCENT SECONDS REPORT\n");
    return 2;
  }
  const auto listenPort = static_cast<uint16_t>(std::atoi(argv[1]));
  const auto serverPort = static_cast<uint16_t>(std::atoi(argv[2]));
  const int delay = std::atoi(argv[3]), jitter = std::atoi(argv[4]), loss = std::atoi(argv[5]);
  const int seconds = std::atoi(argv[6]);
  const char* report = argv[7];

  const int front = Bound(listenPort);  // the client talks to this one
  const int back = Bound(0);            // the server sees the relay here
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(serverPort);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in client{};
  bool haveClient = false;

  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> jitterMs(-jitter, jitter);
  std::uniform_int_distribution<int> percent(0, 99);
  std::deque<Pending> queue;
  unsigned long long bytes[2] = {0, 0}, datagrams[2] = {0, 0};
  const auto start = Clock::now(), end = start + std::chrono::seconds(seconds);
  auto nextReport = start;
  uint8_t buffer[65536];

  while (Clock::now() < end) {
    const auto now = Clock::now();
    // Send what is due, in the order it falls due.
    for (auto it = queue.begin(); it != queue.end();) {
      if (it->due > now) {
        ++it;
        continue;
      }
      if (it->up) {
        sendto(back, it->bytes.data(), it->bytes.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
      } else if (haveClient) {
        sendto(front, it->bytes.data(), it->bytes.size(), 0, reinterpret_cast<sockaddr*>(&client), sizeof client);
      }
      it = queue.erase(it);
    }
    if (now >= nextReport) {
      nextReport += std::chrono::seconds(1);
      if (FILE* f = std::fopen(report, "w")) {
        std::fprintf(f, "%.1f %llu %llu %llu %llu\n", std::chrono::duration<double>(now - start).count(), bytes[0],
                     bytes[1], datagrams[0], datagrams[1]);
        std::fclose(f);
      }
    }
    pollfd fds[2] = {{front, POLLIN, 0}, {back, POLLIN, 0}};
    if (poll(fds, 2, 1) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & POLLIN) == 0) continue;
      sockaddr_in from{};
      socklen_t fromSize = sizeof from;
      const ssize_t n = recvfrom(fds[i].fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
      if (n <= 0) continue;
      const bool up = i == 0;
      if (up) {
        client = from;
        haveClient = true;
      }
      bytes[up ? 0 : 1] += static_cast<unsigned long long>(n);
      ++datagrams[up ? 0 : 1];
      if (percent(rng) < loss) continue;
      const auto due = Clock::now() + std::chrono::milliseconds(std::max(0, delay + jitterMs(rng)));
      queue.push_back({due, up, std::vector<uint8_t>(buffer, buffer + n)});
    }
  }
  return 0;
}
