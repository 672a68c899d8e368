#include "fuzz/fuzz_target.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/tool_main.hpp"
#include "fuzz/scripted_bmc.hpp"

namespace fuzz {

void CheckExitStatus(int status) {
  for (int documented : {0, 1, 11, 12, 13, 31}) {
    if (status == documented) return;
  }
  std::fprintf(stderr, "fuzz: undocumented exit status %d\n", status);
  std::abort();
}

void RunTool(Machine& machine, const Scenario& scenario, FuzzInput& script, const std::vector<std::string>& arguments,
             bool withPorts) {
  ScriptedBmc bmc(scenario, script, &machine.clock);
  machine.ports = withPorts ? &bmc.Kcs() : nullptr;
  std::vector<std::string> words = {"tolvane"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  auto run = std::make_unique<RunState>();  // a fresh run
  CheckExitStatus(RunCore(machine, [&argv, argc, &run] { return ToolMain(argc, argv.data(), *run); }));
  machine.ports = nullptr;
}

namespace {

std::vector<nlohmann::json> CaseFiles() {
  std::vector<nlohmann::json> files;
  for (const char* folder : {"tests/uefi", "tests/peer", "scenarios"}) {
    const std::filesystem::path path = std::filesystem::path(TOLVANE_SOURCE_DIR) / folder;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.path().extension() != ".json") continue;
      std::ifstream in(entry.path());
      nlohmann::json json = nlohmann::json::parse(in, nullptr, false, true);
      if (!json.is_discarded()) files.push_back(std::move(json));
    }
  }
  return files;
}

}  // namespace

const Scenario& DefaultBmc() {
  static const Scenario scenario = DefaultScenario();
  return scenario;
}

std::vector<Scenario> TestScenarios() {
  std::vector<Scenario> scenarios = {DefaultBmc()};
  for (const nlohmann::json& file : CaseFiles()) {
    // A case file carries its scenario under "scenario"; a scenario file is one.
    const nlohmann::json& json = file.contains("cases") ? file.value("scenario", nlohmann::json()) : file;
    if (!json.is_object()) continue;
    Scenario scenario;
    std::string error;
    if (ScenarioFromJson(json, &scenario, &error)) scenarios.push_back(std::move(scenario));
  }
  return scenarios;
}

std::vector<std::vector<std::string>> TestCommandLines() {
  std::vector<std::vector<std::string>> lines;
  for (const nlohmann::json& file : CaseFiles()) {
    if (!file.contains("cases")) continue;
    for (const nlohmann::json& c : file.at("cases")) {
      if (!c.contains("args") || !c.at("args").is_string()) continue;
      std::vector<std::string> words;
      std::string word;
      for (char ch : c.at("args").get<std::string>() + " ") {
        if (ch != ' ') {
          word += ch;
        } else if (!word.empty()) {
          words.push_back(word);
          word.clear();
        }
      }
      lines.push_back(words);
    }
  }
  return lines;
}

void WriteSeedsIfAsked(const std::function<std::vector<Input>()>& encode) {
  const char* directory = std::getenv("TOLVANE_FUZZ_WRITE_SEEDS");
  if (directory == nullptr) return;
  std::filesystem::create_directories(directory);
  const std::vector<Input> inputs = encode();
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::ofstream out(std::filesystem::path(directory) / ("seed-" + std::to_string(i)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(inputs[i].data()), static_cast<std::streamsize>(inputs[i].size()));
  }
  std::fprintf(stderr, "fuzz: %zu seeds written to %s\n", inputs.size(), directory);
  std::exit(0);
}

void AppendField(Input& input, const std::vector<uint8_t>& bytes, size_t maxLength) {
  const size_t length = bytes.size() < maxLength ? bytes.size() : maxLength;
  input.push_back(static_cast<uint8_t>(length));
  if (maxLength > 255) input.push_back(static_cast<uint8_t>(length >> 8));
  input.insert(input.end(), bytes.begin(), bytes.begin() + static_cast<long>(length));
}

void AppendText(Input& input, const std::string& text, size_t maxLength) {
  AppendField(input, std::vector<uint8_t>(text.begin(), text.end()), maxLength);
}

}  // namespace fuzz
