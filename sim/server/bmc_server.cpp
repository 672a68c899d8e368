// tolvane-bmc: one simulated BMC served to QEMU's ipmi-bmc-extern device.
//
// QEMU implements the KCS registers itself and forwards each complete request to
// this process over TCP (see vm_codec.hpp). While it waits, the guest sees IBF
// set; the tool in the guest polls IBF only for a few hundred microseconds of real
// time, so the answer path here must be quick: the process never sleeps longer
// than 1 ms (a process woken from a long sleep misses the budget), Nagle's
// algorithm is off, and nothing on the path touches a file or the terminal.
// Measurements are collected in memory and written when the server ends.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "sim/bmc_model.hpp"
#include "sim/ipmi_message.hpp"
#include "sim/scenario.hpp"
#include "sim/server/vm_codec.hpp"
#include "sim/virtual_clock.hpp"

namespace {

volatile sig_atomic_t StopRequested = 0;

void OnStopSignal(int) { StopRequested = 1; }

constexpr int kPollTimeoutMs = 1;  // stay awake between requests (see above)
// On a virtual machine, code and data left untouched for a few seconds (while
// the tool in the guest waits) answer the next request slowly, often later
// than the guest's IBF wait allows. Between requests the answer path is kept
// in use: a copy of the BMC answers a Get Device ID, and QEMU's side of the
// connection gets a control frame that changes nothing (clear attention).
constexpr int64_t kKeepWarmIntervalNs = 5'000'000;
constexpr size_t kReceiveChunk = 4096;
// BMC Global Enables bits 0 and 1: the receive message queue and event message
// buffer full interrupts.
constexpr uint8_t kInterruptEnables = 0x03;

struct Options {
  std::string scenarioFile;
  std::string portFile;
  std::string statsFile;
  std::string saveScenarioFile;
  std::string dumpScenarioFile;
  int port = 0;
  bool portGiven = false;
  bool realtime = true;
  std::vector<uint32_t> answerDelaysUs;  // per request in arrival order; test use only
};

void PrintUsage(FILE* to) {
  std::fprintf(to,
               "usage: tolvane-bmc --port N [options]\n"
               "  Serves one simulated BMC to QEMU's ipmi-bmc-extern device on 127.0.0.1.\n"
               "  --port N              TCP port; 0 picks a free one (printed, see --port-file)\n"
               "  --port-file FILE      write the port number to FILE once listening\n"
               "  --scenario FILE       start from this scenario (default: the built-in one)\n"
               "  --stats FILE          write answer-time measurements and the request log\n"
               "                        (JSON) when the server ends\n"
               "  --save-scenario FILE  write the BMC's state back when the server ends\n"
               "  --dump-scenario FILE  write the scenario in use to FILE and exit\n"
               "  --answer-delay-us L   comma-separated extra delays, one per request in\n"
               "                        order, to measure how late an answer may come\n"
               "  --no-realtime         do not ask for real-time scheduling and locked memory\n"
               "Ends on SIGINT or SIGTERM.\n");
}

bool ParseUnsigned(const char* text, unsigned long max, unsigned long* value) {
  if (*text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long v = std::strtoul(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > max || text[0] == '-') return false;
  *value = v;
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char** out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tolvane-bmc: %s needs a value\n", arg.c_str());
        return false;
      }
      *out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      std::exit(0);
    } else if (arg == "--port") {
      unsigned long port = 0;
      if (!value(&v)) return false;
      if (!ParseUnsigned(v, 65535, &port)) {
        std::fprintf(stderr, "tolvane-bmc: bad port '%s'\n", v);
        return false;
      }
      options->port = static_cast<int>(port);
      options->portGiven = true;
    } else if (arg == "--port-file") {
      if (!value(&v)) return false;
      options->portFile = v;
    } else if (arg == "--scenario") {
      if (!value(&v)) return false;
      options->scenarioFile = v;
    } else if (arg == "--stats") {
      if (!value(&v)) return false;
      options->statsFile = v;
    } else if (arg == "--save-scenario") {
      if (!value(&v)) return false;
      options->saveScenarioFile = v;
    } else if (arg == "--dump-scenario") {
      if (!value(&v)) return false;
      options->dumpScenarioFile = v;
    } else if (arg == "--no-realtime") {
      options->realtime = false;
    } else if (arg == "--answer-delay-us") {
      if (!value(&v)) return false;
      std::string list = v;
      size_t start = 0;
      while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        unsigned long delay = 0;
        if (!ParseUnsigned(item.c_str(), 10'000'000, &delay)) {
          std::fprintf(stderr, "tolvane-bmc: bad delay '%s'\n", item.c_str());
          return false;
        }
        options->answerDelaysUs.push_back(static_cast<uint32_t>(delay));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else {
      std::fprintf(stderr, "tolvane-bmc: unknown option '%s'\n", arg.c_str());
      PrintUsage(stderr);
      return false;
    }
  }
  if (!options->portGiven && options->dumpScenarioFile.empty()) {
    std::fprintf(stderr, "tolvane-bmc: --port is required (0 picks a free port)\n");
    return false;
  }
  return true;
}

using SteadyClock = std::chrono::steady_clock;

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t RealtimeNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// One request as measured. Times in nanoseconds.
struct RequestRecord {
  int64_t receivedMonoNs = 0;   // CLOCK_MONOTONIC when recvmsg returned the bytes
  int64_t answerNs = -1;        // recvmsg returned -> send returned; -1: not answered
  int64_t kernelToSentNs = -1;  // kernel receive time stamp -> send returned; -1: unknown
  uint8_t seq = 0;
  std::vector<uint8_t> kcsFrame;
  std::vector<uint8_t> response;
  uint32_t injectedDelayUs = 0;
};

struct Counters {
  unsigned connections = 0;
  unsigned badChecksum = 0;
  unsigned tooShort = 0;
  unsigned sendFailures = 0;
  std::map<int, unsigned> controlCodes;
  int peerVersion = -1;
  int peerCapabilities = -1;
};

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int OpenListener(int port, int* boundPort) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never a real network
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 2) != 0) {
    close(fd);
    return -1;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *boundPort = ntohs(address.sin_port);
  return fd;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string Hex(const std::vector<uint8_t>& bytes) { return HexBytesText(bytes); }

double Percentile(std::vector<int64_t> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return static_cast<double>(values[std::min(index, values.size() - 1)]);
}

nlohmann::json StatsJson(const std::vector<RequestRecord>& records, const Counters& counters, unsigned droppedFrames) {
  std::vector<int64_t> answers;
  std::vector<int64_t> kernel;
  unsigned unanswered = 0;
  nlohmann::json log = nlohmann::json::array();
  for (const auto& r : records) {
    if (r.answerNs >= 0) {
      // Requests answered late on purpose are measurements of the guest, not of
      // this server; keep them out of the server's own latency figures.
      if (r.injectedDelayUs == 0) answers.push_back(r.answerNs);
      if (r.injectedDelayUs == 0 && r.kernelToSentNs >= 0) kernel.push_back(r.kernelToSentNs);
    } else {
      ++unanswered;
    }
    IpmiMessage message;
    std::string text = IpmiMessage::FromFrame(r.kcsFrame, &message) ? RequestText(message) : Hex(r.kcsFrame);
    nlohmann::json entry = {
        {"t_mono_us", r.receivedMonoNs / 1000},
        {"seq", r.seq},
        {"request", text},
        {"answered", r.answerNs >= 0},
        {"answer_us", r.answerNs >= 0 ? static_cast<double>(r.answerNs) / 1000.0 : -1.0},
        {"kernel_rx_to_sent_us", r.kernelToSentNs >= 0 ? static_cast<double>(r.kernelToSentNs) / 1000.0 : -1.0},
        {"injected_delay_us", r.injectedDelayUs},
        {"response", Hex(r.response)},
    };
    log.push_back(entry);
  }
  auto us = [](double ns) { return ns / 1000.0; };
  nlohmann::json controls = nlohmann::json::object();
  for (const auto& [code, count] : counters.controlCodes) {
    char name[8];
    std::snprintf(name, sizeof name, "%02X", code);
    controls[name] = count;
  }
  return {
      {"requests", records.size()},
      {"unanswered", unanswered},
      {"bad_checksum", counters.badChecksum},
      {"too_short", counters.tooShort},
      {"dropped_frames", droppedFrames},
      {"send_failures", counters.sendFailures},
      {"connections", counters.connections},
      {"peer_version", counters.peerVersion},
      {"peer_capabilities", counters.peerCapabilities},
      {"control_commands", controls},
      {"max_answer_us",
       answers.empty() ? 0.0 : us(static_cast<double>(*std::max_element(answers.begin(), answers.end())))},
      {"p50_answer_us", us(Percentile(answers, 0.5))},
      {"p99_answer_us", us(Percentile(answers, 0.99))},
      {"max_kernel_rx_to_sent_us",
       kernel.empty() ? -1.0 : us(static_cast<double>(*std::max_element(kernel.begin(), kernel.end())))},
      {"kernel_timestamps", !kernel.empty()},
      {"log", log},
  };
}

// The kernel's receive time stamp of the bytes just read (CLOCK_REALTIME), when
// the socket delivers one; it includes the time this process took to wake up.
std::optional<int64_t> ReceiveTimestamp(msghdr* header) {
  for (cmsghdr* c = CMSG_FIRSTHDR(header); c != nullptr; c = CMSG_NXTHDR(header, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
      timespec ts{};
      std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
      if (ts.tv_sec == 0 && ts.tv_nsec == 0) return std::nullopt;
      return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    }
  }
  return std::nullopt;
}

void SpinMicroseconds(uint32_t us) {
  int64_t until = MonotonicNs() + static_cast<int64_t>(us) * 1000;
  while (MonotonicNs() < until) {
  }
}

// The first answer of a run would otherwise pay for first-time work (code paths
// never taken, allocations of their first size) and miss the guest's IBF
// wait: a copy of the BMC answers a few typical requests before any connection.
void WarmUpAnswerPath(const Scenario& scenario) {
  VirtualClock clock;
  BmcModel copy(scenario, &clock);
  const std::vector<std::vector<uint8_t>> frames = {
      {0x18, 0x01},                                      // Get Device ID
      {0x30, 0x02, 0x01, 0x03, 0x00, 0x00},              // Get LAN Configuration Parameters
      {0x28, 0x11, 0x00, 0x00, 0x00, 0x10},              // Read FRU Data
      {0x28, 0x23, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF},  // Get SDR
  };
  for (const std::vector<uint8_t>& frame : frames) {
    if (const std::optional<std::vector<uint8_t>> response = copy.HandleFrame(frame)) {
      (void)vmcodec::EncodeMessage(0, *response);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;

  Scenario scenario = DefaultScenario();
  if (!options.scenarioFile.empty()) {
    std::string error;
    if (!LoadScenarioFile(options.scenarioFile, &scenario, &error)) {
      std::fprintf(stderr, "tolvane-bmc: %s: %s\n", options.scenarioFile.c_str(), error.c_str());
      return 2;
    }
  }
  if (!options.dumpScenarioFile.empty()) {
    std::string error;
    if (!SaveScenarioFile(options.dumpScenarioFile, scenario, &error)) {
      std::fprintf(stderr, "tolvane-bmc: %s: %s\n", options.dumpScenarioFile.c_str(), error.c_str());
      return 2;
    }
    return 0;
  }
  {
    // QEMU drives the KCS registers itself; register-level faults exist only in
    // the in-process simulator. Compared through the scenario's file form so the
    // check follows whatever faults the simulator gains.
    nlohmann::json faults = ScenarioToJson(scenario).value("kcs", nlohmann::json());
    nlohmann::json none = ScenarioToJson(DefaultScenario()).value("kcs", nlohmann::json());
    if (faults != none) {
      std::fprintf(stderr, "tolvane-bmc: note: KCS register faults of the scenario do not apply through QEMU\n");
    }
  }

  VirtualClock clock;
  BmcModel bmc(std::move(scenario), &clock);
  WarmUpAnswerPath(bmc.CurrentScenario());
  VirtualClock warmClock;
  BmcModel warmCopy(bmc.CurrentScenario(), &warmClock);
  const std::vector<uint8_t> warmRequest = {0x18, 0x01};  // Get Device ID
  const uint8_t noAttention[] = {vmcodec::kCtlNoAttention};
  int64_t lastActivityNs = MonotonicNs();

  // On a busy machine (QEMU's emulated CPU takes a whole core) an ordinary
  // process waking from poll can wait for the scheduler longer than the guest's
  // IBF budget. Real-time priority and locked memory (no page faults on the
  // answer path) keep the wake-up short; both are best effort, and the process
  // blocks in poll between requests, so it never starves the machine.
  bool realtimeScheduling = false;
  bool memoryLocked = false;
  if (options.realtime) {
    sched_param priority{};
    priority.sched_priority = 10;
    realtimeScheduling = sched_setscheduler(0, SCHED_FIFO, &priority) == 0;
    memoryLocked = mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
  }

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int port = 0;
  int listener = OpenListener(options.port, &port);
  if (listener < 0) {
    std::fprintf(stderr, "tolvane-bmc: cannot listen on 127.0.0.1:%d: %s\n", options.port, std::strerror(errno));
    return 1;
  }
  std::printf("tolvane-bmc: listening on 127.0.0.1:%d\n", port);
  std::fflush(stdout);
  if (!options.portFile.empty() && !WriteFileAtomically(options.portFile, std::to_string(port) + "\n")) {
    std::fprintf(stderr, "tolvane-bmc: cannot write %s\n", options.portFile.c_str());
    close(listener);
    return 1;
  }

  std::vector<RequestRecord> records;
  records.reserve(65536);  // no reallocation on the answer path in a normal run
  Counters counters;
  vmcodec::Decoder decoder;
  unsigned droppedBefore = 0;  // frames dropped by decoders of earlier connections
  std::vector<vmcodec::Frame> frames;
  frames.reserve(16);
  std::vector<uint8_t> chunk(kReceiveChunk);
  alignas(cmsghdr) char control[256];
  int client = -1;
  int64_t lastClockNs = MonotonicNs();
  bool interruptsAnnounced = false;  // QEMU's interface starts with its interrupt off

  auto closeClient = [&] {
    if (client >= 0) close(client);
    client = -1;
    droppedBefore += decoder.DroppedFrames();
    decoder = vmcodec::Decoder();
  };

  while (!StopRequested) {
    pollfd fds[2] = {{listener, POLLIN, 0}, {client, POLLIN, 0}};
    int ready = poll(fds, client >= 0 ? 2 : 1, kPollTimeoutMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::perror("tolvane-bmc: poll");
      break;
    }
    if (ready == 0) {
      const int64_t now = MonotonicNs();
      if (client >= 0 && now - lastActivityNs >= kKeepWarmIntervalNs) {
        if (const std::optional<std::vector<uint8_t>> response = warmCopy.HandleFrame(warmRequest)) {
          (void)vmcodec::EncodeMessage(0, *response);
        }
        SendAll(client, vmcodec::EncodeControl(noAttention));
        lastActivityNs = now;
      }
      continue;
    }
    lastActivityNs = MonotonicNs();
    if (client >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      iovec io{chunk.data(), chunk.size()};
      msghdr header{};
      header.msg_iov = &io;
      header.msg_iovlen = 1;
      header.msg_control = control;
      header.msg_controllen = sizeof control;
      ssize_t n = recvmsg(client, &header, 0);
      int64_t receivedMono = MonotonicNs();
      if (n <= 0) {
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        closeClient();  // QEMU went away; with reconnect= it comes back
        continue;
      }
      std::optional<int64_t> kernelRx = ReceiveTimestamp(&header);
      frames.clear();
      decoder.Feed(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)), &frames);
      for (auto& frame : frames) {
        if (frame.kind == vmcodec::Frame::Kind::Control) {
          if (!frame.bytes.empty()) {
            ++counters.controlCodes[frame.bytes[0]];
            if (frame.bytes[0] == vmcodec::kCtlVersion && frame.bytes.size() >= 2)
              counters.peerVersion = frame.bytes[1];
            if (frame.bytes[0] == vmcodec::kCtlCapabilities && frame.bytes.size() >= 2)
              counters.peerCapabilities = frame.bytes[1];
          }
          continue;
        }
        vmcodec::Request request;
        vmcodec::RequestError error = vmcodec::ParseRequest(frame.bytes, &request);
        if (error == vmcodec::RequestError::TooShort) {
          ++counters.tooShort;
          continue;
        }
        if (error == vmcodec::RequestError::BadChecksum) {
          ++counters.badChecksum;
          continue;
        }
        RequestRecord record;
        record.receivedMonoNs = receivedMono;
        record.seq = request.seq;
        size_t index = records.size();
        if (index < options.answerDelaysUs.size()) record.injectedDelayUs = options.answerDelaysUs[index];

        // The BMC's time follows real time, so time-dependent behaviour (a BMC
        // that restarts after a cold reset) lasts as long as it would for real.
        int64_t now = MonotonicNs();
        clock.Advance(static_cast<uint64_t>((now - lastClockNs) / 1000));
        lastClockNs += ((now - lastClockNs) / 1000) * 1000;

        std::optional<std::vector<uint8_t>> response = bmc.HandleFrame(request.kcsFrame);
        // The host's driver turns the interface's interrupt on and off through
        // the BMC Global Enables; QEMU raises it only once told. Told before the
        // answer, so that the answer itself already interrupts.
        const bool interrupts = (bmc.State().controller.globalEnables & kInterruptEnables) != 0;
        if (interrupts != interruptsAnnounced) {
          const uint8_t irq[] = {interrupts ? vmcodec::kCtlEnableIrq : vmcodec::kCtlDisableIrq};
          SendAll(client, vmcodec::EncodeControl(irq));
          interruptsAnnounced = interrupts;
        }
        if (response) {
          // QEMU matches the answer to its request by seq: echo it unchanged.
          std::vector<uint8_t> wire = vmcodec::EncodeMessage(request.seq, *response);
          if (record.injectedDelayUs != 0) SpinMicroseconds(record.injectedDelayUs);
          bool sent = SendAll(client, wire);
          int64_t sentMono = MonotonicNs();
          int64_t sentReal = RealtimeNs();
          if (sent) {
            record.answerNs = sentMono - receivedMono;
            if (kernelRx) record.kernelToSentNs = sentReal - *kernelRx;
          } else {
            ++counters.sendFailures;
          }
          record.response = std::move(*response);
        }
        // Otherwise the BMC stays silent and QEMU answers the guest with C3h.
        record.kcsFrame = std::move(request.kcsFrame);
        records.push_back(std::move(record));
      }
    }
    if ((fds[0].revents & POLLIN) != 0) {
      int accepted = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (accepted >= 0) {
        // One QEMU at a time: a new connection is QEMU reconnecting.
        closeClient();
        client = accepted;
        interruptsAnnounced = false;
        ++counters.connections;
        int one = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        setsockopt(client, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
        const uint8_t version[] = {vmcodec::kCtlVersion, vmcodec::kProtocolVersion};
        SendAll(client, vmcodec::EncodeControl(version));
      }
    }
  }

  closeClient();
  close(listener);

  int status = 0;
  nlohmann::json stats = StatsJson(records, counters, droppedBefore);
  stats["realtime_scheduling"] = realtimeScheduling;
  stats["memory_locked"] = memoryLocked;
  std::fprintf(stderr,
               "tolvane-bmc: %zu requests, %u unanswered, max answer %.1f us, max kernel-receive-to-sent %.1f us\n",
               records.size(), stats["unanswered"].get<unsigned>(), stats["max_answer_us"].get<double>(),
               stats["max_kernel_rx_to_sent_us"].get<double>());
  if (!options.statsFile.empty() && !WriteFileAtomically(options.statsFile, stats.dump(1) + "\n")) {
    std::fprintf(stderr, "tolvane-bmc: cannot write %s\n", options.statsFile.c_str());
    status = 1;
  }
  if (!options.saveScenarioFile.empty()) {
    std::string error;
    if (!SaveScenarioFile(options.saveScenarioFile, bmc.CurrentScenario(), &error)) {
      std::fprintf(stderr, "tolvane-bmc: %s: %s\n", options.saveScenarioFile.c_str(), error.c_str());
      status = 1;
    }
  }
  return status;
}
