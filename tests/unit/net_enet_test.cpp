// Network matches over ENet on the loopback interface: a joiner gets in, and a flood of junk
// datagrams does not slow the host's frames. Traffic goes to 127.0.0.1 only, bounded in count
// and time.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/netplay.h"
#include "net/enet_link.h"
#include "unit/match_harness.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median wall time of `n` passes of the host's frame loop at 60 frames a second (as the real
// display paces them), in microseconds.
double MedianPassMicros(NetPlay& net, Form1& f, int n) {
  std::vector<double> t;
  auto next = Clock::now();
  for (int i = 0; i < n; ++i) {
    next += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next);
    const auto a = Clock::now();
    net.Pass(f);
    t.push_back(std::chrono::duration<double, std::micro>(Clock::now() - a).count());
  }
  std::nth_element(t.begin(), t.begin() + n / 2, t.end());
  return t[static_cast<size_t>(n / 2)];
}

}  // namespace

TEST(NetEnet, JoinsOverLoopbackAndAFloodOfJunkDoesNotSlowTheHostsFrames) {
  std::string error;
  auto listen = net::EnetLink::Listen(0, 5, error, "127.0.0.1");
  ASSERT_NE(listen, nullptr) << error;
  net::EnetLink* hostLink = listen.get();
  const uint16_t port = hostLink->Port();
  ASSERT_NE(port, 0);
  NetPlay hostNet(NetPlay::Mode::Host, std::move(listen));
  net::HostAndPort target;
  ASSERT_TRUE(net::ParseHostAndPort("127.0.0.1:" + std::to_string(port), 1, target, error)) << error;
  auto connect = net::EnetLink::Connect(target, error);
  ASSERT_NE(connect, nullptr) << error;
  NetPlay joinNet(NetPlay::Mode::Join, std::move(connect), net::Name::From("BOB"), "loopback");
  match_test::Rig host(match_test::DataFolder(), &hostNet), joiner(match_test::DataFolder(), &joinNet);
  host.device().recording = joiner.device().recording = false;

  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (joinNet.joiner()->state() != net::JoinSession::State::Joined && Clock::now() < deadline) {
    hostNet.Pass(*host.form);
    joinNet.Pass(*joiner.form);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(joinNet.joiner()->state(), net::JoinSession::State::Joined);
  EXPECT_EQ(hostNet.host()->PlayerName().view(), "BOB");
  host.Start({.onePlayer = false, .level = 2});
  for (int i = 0; i < 400 && !(joiner.form->screenState.empty() && joinNet.snapshotsReceived > 10); ++i) {
    hostNet.Pass(*host.form);
    joinNet.Pass(*joiner.form);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(joiner.form->screenState.empty()) << "the joiner follows the host into the match";

  const double quiet = MedianPassMicros(hostNet, *host.form, 120);
  // Junk as fast as one thread can send it, from another socket, to the host's port only.
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> sent{0};
  std::thread flood([&] {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    uint8_t junk[512];
    uint32_t x = 1;
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (!stop && Clock::now() < end && sent < 2000000) {
      const size_t n = 1 + x % sizeof junk;
      for (size_t i = 0; i < n; ++i) junk[i] = static_cast<uint8_t>(x = x * 1664525u + 1013904223u);
      if (sendto(s, junk, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0) ++sent;
    }
    close(s);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const uint64_t before = hostLink->DatagramsReceived();
  const double flooded = MedianPassMicros(hostNet, *host.form, 120);
  const uint64_t during = hostLink->DatagramsReceived() - before;
  stop = true;
  flood.join();
  std::printf("host pass: %.0f us quiet, %.0f us under a flood (%llu junk datagrams sent, %llu read)\n", quiet,
              flooded, static_cast<unsigned long long>(sent.load()), static_cast<unsigned long long>(during));
  EXPECT_GT(sent.load(), 10000u);
  EXPECT_LT(flooded, quiet * 1.3 + 150) << "the flood slowed the host's frames";
  EXPECT_TRUE(host.form->screenState.empty());
  EXPECT_TRUE(hostNet.host()->HasPlayer());

  // An IPv6 address is refused in words: ENet reaches IPv4 only.
  ASSERT_TRUE(net::ParseHostAndPort("[::1]:4000", 1, target, error));
  EXPECT_EQ(net::EnetLink::Connect(target, error), nullptr);
  EXPECT_NE(error.find("IPv4"), std::string::npos) << error;
  EXPECT_FALSE(net::ParseHostAndPort("host:99999", 1, target, error));
  EXPECT_NE(error.find("port"), std::string::npos) << error;
}
