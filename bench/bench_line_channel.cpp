// Figures of the line channel: lines read per second, quoted-value megabytes
// per second, how soon a stop request ends a pending read, and the processor
// time a waiting read costs.
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/stop_signal.h"
#include "serverlink/line_channel.h"

using namespace vertamo;
using Clock = std::chrono::steady_clock;

namespace {

// A channel on one end of a socket pair; the other end is returned.
int Attach(TLineChannel& channel) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return -1;
  channel.Link().Adopt(fds[0]);
  return fds[1];
}

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main() {
  TStopSignal stop;

  {  // change-feed-like lines
    TLineChannel channel(stop);
    const int peer = Attach(channel);
    constexpr int kLines = 1000000;
    std::string block;
    for (int i = 0; i < 1000; ++i) block += "UPDATE OBJ=" + std::to_string(i) + " IDX=2\r\n";
    std::thread writer([&] {
      for (int i = 0; i < kLines / 1000; ++i) WriteAll(peer, block);
    });
    const auto start = Clock::now();
    int read = 0, sum = 0, value = 0;
    while (read < kLines && channel.ReadLine()) {
      channel.LineIntOpt(" IDX=", value);
      sum += value;
      ++read;
    }
    const double s = Seconds(Clock::now() - start);
    writer.join();
    close(peer);
    std::printf("ReadLine + LineIntOpt: %d lines in %.3f s = %.0f lines/s (check %d)\n", read, s, read / s,
                sum);
  }

  {  // one long quoted value
    TLineChannel channel(stop);
    const int peer = Attach(channel);
    const std::string wire = "DATA=\"" + std::string(32u << 20, 'A') + "\"\r";
    std::thread writer([&] { WriteAll(peer, wire); });
    std::string text;
    const auto start = Clock::now();
    const bool ok = channel.ReadQuotedData("DATA=", text);
    const double s = Seconds(Clock::now() - start);
    writer.join();
    close(peer);
    std::printf("ReadQuotedData: %s %zu MiB in %.3f s = %.0f MiB/s\n", ok ? "ok" : "FAILED",
                text.size() >> 20, s, static_cast<double>(text.size() >> 20) / s);
  }

  {  // stop latency of a pending read
    TLineChannel channel(stop);
    const int peer = Attach(channel);
    channel.SetReadTimeout(60000);
    std::vector<double> latencies;
    for (int i = 0; i < 200; ++i) {
      stop.Reset();
      Clock::time_point requested;
      std::thread requester([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        requested = Clock::now();
        stop.Request();
      });
      channel.ReadLine();
      const auto ended = Clock::now();
      requester.join();
      latencies.push_back(Seconds(ended - requested) * 1e6);
    }
    stop.Reset();
    std::sort(latencies.begin(), latencies.end());
    std::printf("stop ends a pending read after: median %.0f us, 99th %.0f us, max %.0f us\n",
                latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100], latencies.back());
    close(peer);
  }

  {  // processor time of an idle read that times out
    TLineChannel channel(stop);
    const int peer = Attach(channel);
    channel.SetReadTimeout(2000);
    const double cpu0 = ThreadCpuSeconds();
    const auto start = Clock::now();
    channel.FillBuffer();
    const double wall = Seconds(Clock::now() - start);
    const double cpu = ThreadCpuSeconds() - cpu0;
    std::printf("idle read: %.3f s waited, %.6f s processor time (%.4f %% of one core)\n", wall, cpu,
                100.0 * cpu / wall);
    close(peer);
  }
  return 0;
}
