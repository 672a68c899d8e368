#include "tests/tool/tool_harness.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "app/tool_main.hpp"
#include "platform/host/host_session.hpp"

namespace {

// The child's report, written to the pipe as: status, output length and bytes,
// simulated time, request count and one request per line, then the length and
// text of the BMC's state.
struct ChildReport {
  SimulatedBmc* bmc;
  int output;  // the child's standard output: a file the report reads back
  int pipe;
};
ChildReport Report;

void WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) _exit(120);
    done += static_cast<size_t>(n);
  }
}

std::string ReadBack(int fd) {
  std::string text;
  char buffer[4096];
  if (lseek(fd, 0, SEEK_SET) != 0) _exit(122);
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  return text;
}

[[noreturn]] void SendReportAndExit(int status) {
  std::fflush(stdout);
  const std::string output = ReadBack(Report.output);
  std::ostringstream report;
  report << status << '\n' << output.size() << '\n' << output;
  report << Report.bmc->Clock().NowMicroseconds() << '\n';
  const auto& log = Report.bmc->Model().RequestLog();
  report << log.size() << '\n';
  for (const IpmiMessage& request : log) report << RequestText(request) << '\n';
  const std::string state = ScenarioToJson(Report.bmc->Model().CurrentScenario()).dump();
  report << state.size() << '\n' << state;
  WriteAll(Report.pipe, report.str());
  _exit(0);
}

ToolRun ParseReport(const std::string& text) {
  ToolRun run;
  std::istringstream in(text);
  size_t outputLength = 0;
  in >> run.status >> outputLength;
  in.get();
  run.output.resize(outputLength);
  in.read(run.output.data(), static_cast<std::streamsize>(outputLength));
  size_t requestCount = 0;
  in >> run.elapsedMicroseconds >> requestCount;
  in.get();
  for (std::string line; run.requests.size() < requestCount && std::getline(in, line);) run.requests.push_back(line);
  size_t stateLength = 0;
  in >> stateLength;
  in.get();
  run.bmcState.resize(stateLength);
  in.read(run.bmcState.data(), static_cast<std::streamsize>(stateLength));
  return run;
}

}  // namespace

ToolRun RunTool(const Scenario& scenario, const std::vector<std::string>& arguments,
                const std::string& workingDirectory, const Environment& environment) {
  int fds[2];
  if (pipe(fds) != 0) std::abort();
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) std::abort();
  if (child == 0) {
    close(fds[0]);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(121);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    // Standard output goes to a file, so what the tool prints and what a program
    // it starts prints (the SMBIOS dump) arrive in the order they were written.
    std::FILE* output = std::tmpfile();
    if (output == nullptr || dup2(fileno(output), STDOUT_FILENO) < 0) _exit(123);
    auto bmc = std::make_unique<SimulatedBmc>(scenario);
    bmc->Attach(/*sleepForReal=*/false);
    Report = ChildReport{bmc.get(), STDOUT_FILENO, fds[1]};
    auto state = std::make_unique<RunState>();  // as zero as a fresh process leaves it

    std::vector<std::string> storage{"tolvane"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage) argv.push_back(argument.data());
    argv.push_back(nullptr);
    SendReportAndExit(ToolMain(static_cast<int>(storage.size()), argv.data(), *state));
  }
  close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int waitStatus = 0;
  waitpid(child, &waitStatus, 0);
  if (WIFSIGNALED(waitStatus)) {
    ToolRun died;
    died.status = -WTERMSIG(waitStatus);
    return died;
  }
  return ParseReport(text);
}

ToolRun RunTool(const std::vector<std::string>& arguments) { return RunTool(DefaultScenario(), arguments); }

Scenario ScenarioFrom(const std::string& json) {
  Scenario scenario;
  std::string error;
  const auto parsed = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
  EXPECT_FALSE(parsed.is_discarded()) << json;
  EXPECT_TRUE(ScenarioFromJson(parsed, &scenario, &error)) << error;
  return scenario;
}
