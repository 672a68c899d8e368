// -user: the listing, add, delete, privilege and password sequences with their
// exact request bytes, and the name and password field limits.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/tool/tool_harness.hpp"

namespace {

using Requests = std::vector<std::string>;

// text as a fixed IPMI field: its bytes, then 00h up to length, in request text.
std::string Field(const std::string& text, size_t length) {
  std::string hex;
  for (size_t i = 0; i < length; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, " %02X", i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
    hex += byte;
  }
  return hex;
}

std::string Id(int id) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", id);
  return text;
}

std::string GetUserAccess(int id) { return "06 44 01 " + Id(id); }
std::string GetUserName(int id) { return "06 46 " + Id(id); }

Scenario Users(const std::string& users, const std::string& extra = "") {
  return ScenarioFrom(R"({"users": )" + users + extra + "}");
}

const char kCounts[] = "Maximum number of Users          : %d\nCount of currently enabled Users : %d\n";
const char kHeader[] =
    "User ID | User Name        | Privilege Level | Enable\n"
    "------- | -----------      | --------------- | ------\n";

std::string Counts(int max, int enabled) {
  char text[128];
  std::snprintf(text, sizeof text, kCounts, max, enabled);
  return text;
}

std::string Row(int id, const std::string& name, const std::string& privilege, const std::string& enable) {
  char text[128];
  std::snprintf(text, sizeof text, "%7d | %-16s | %-15s | %-6s\n", id, name.c_str(), privilege.c_str(), enable.c_str());
  return text;
}

TEST(ToolUserList, EnableStatusPrivilegeAndNames) {
  // One account per edge: enable status bits and the channel access nibble.
  const Scenario bmc = Users(R"({"maxUsers": 12, "accounts": [
      {"id": 1, "enable": "enabled"},
      {"id": 2, "name": "admin", "enable": "enabled", "privilege": 4, "ipmiMessaging": true},
      {"id": 3, "name": "ABCDEFGHIJKLMNOP", "enable": "disabled", "privilege": 1},
      {"id": 4, "name": "plain", "enable": "unspecified", "privilege": 2},
      {"id": 5, "name": "odd", "enable": "reserved", "privilege": 3},
      {"id": 6, "name": "oem", "enable": "enabled", "privilege": 5, "callbackOnly": true, "linkAuthentication": true},
      {"id": 7, "name": "locked", "enable": "enabled", "privilege": 15},
      {"id": 8, "name": "zero", "enable": "enabled", "privilege": 0},
      {"id": 9, "name": "six", "enable": "enabled", "privilege": 6},
      {"id": 10, "enable": "enabled", "privilege": 4},
      {"id": 12, "name": "last", "enable": "enabled", "privilege": 2}]})");
  const ToolRun run = RunTool(bmc, {"-user", "list"});
  EXPECT_EQ(run.status, 0);
  // Enabled: IDs 1, 2, 6, 7, 8, 9, 10, 12.
  EXPECT_EQ(run.output, Counts(12, 8) + kHeader + Row(2, "admin", "Administrator", "Yes") +
                            Row(3, "ABCDEFGHIJKLMNOP", "Callback", "No") + Row(4, "plain", "User", "No") +
                            Row(5, "odd", "Operator", "No") + Row(6, "oem", "OEM Proprietary", "Yes") +
                            Row(7, "locked", "No Access", "Yes") + Row(8, "zero", "", "Yes") +
                            Row(9, "six", "", "Yes") + Row(12, "last", "User", "Yes"));
  Requests expected{GetUserAccess(1)};
  for (int id = 2; id <= 12; ++id) {
    expected.push_back(GetUserName(id));
    // An empty name (IDs 10 and 11) is not read further.
    if (id != 10 && id != 11) expected.push_back(GetUserAccess(id));
  }
  EXPECT_EQ(run.requests, expected);
}

TEST(ToolUserList, CountsAreReadAsFiveBits) {
  // 42 user IDs (2Ah): IDs 2 to 10 are listed.
  ToolRun run = RunTool(Users(R"({"maxUsers": 42, "accounts": [{"id": 10, "name": "ten", "enable": "enabled",
                                   "privilege": 4}, {"id": 11, "name": "eleven", "enable": "enabled"}]})"),
                        {"-user", "list"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, Counts(10, 2) + kHeader + Row(10, "ten", "Administrator", "Yes"));
  EXPECT_EQ(run.requests.back(), GetUserAccess(10));
  EXPECT_EQ(run.requests.size(), 1u + 9u + 1u);

  // 63 enabled users: byte 1 is 7Fh (enabled, count 63), shown as Yes and 31.
  std::string accounts;
  std::string rows;
  for (int id = 1; id <= 63; ++id) {
    const std::string name = "user" + std::to_string(id);
    accounts += (id > 1 ? ", " : "") + std::string(R"({"id": )") + std::to_string(id) + R"(, "name": ")" + name +
                R"(", "enable": "enabled", "privilege": 3})";
    if (id >= 2 && id <= 31) rows += Row(id, name, "Operator", "Yes");
  }
  run = RunTool(Users(R"({"maxUsers": 63, "fixedNames": 0, "accounts": [)" + accounts + "]}"), {"-user", "list"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, Counts(31, 31) + kHeader + rows);
}

TEST(ToolUserList, FewerThanTwoUsers) {
  const ToolRun run = RunTool(Users(R"({"maxUsers": 1})"), {"-user", "list"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, Counts(1, 0) + kHeader);
  EXPECT_EQ(run.requests, Requests{GetUserAccess(1)});
}

TEST(ToolUserList, Failures) {
  const struct {
    const char* name;
    Scenario scenario;
    int status;
    std::string output;
  } cases[] = {
      {"count refused", Users("{}", R"(, "completionCodes": [{"netFn": "06", "cmd": "44", "nth": 1, "code": "D4"}])"),
       11, "Failed to get number of user, Completion Code=D4h\n"},
      {"no user 1", Users(R"({"maxUsers": 0})"), 11, "Failed to get number of user, Completion Code=CCh\n"},
      // A name that cannot be read skips its ID silently.
      {"name refused", Users("{}", R"(, "completionCodes": [{"netFn": "06", "cmd": "46", "nth": 1, "code": "CB"}])"), 0,
       Counts(10, 2) + kHeader + Row(3, "operator", "Operator", "Yes")},
      // A refused privilege read ends the listing before the table.
      {"privilege refused",
       Users("{}", R"(, "completionCodes": [{"netFn": "06", "cmd": "44", "nth": 3, "code": "C3"}])"), 11,
       Counts(10, 2) + "Failed to get user privilege, Completion Code=C3h\n"},
      // A Get User Access reply with only byte 0 (the third transfer) carries no
      // privilege: a failure like a refused read, never bytes made up.
      {"short access reply", ScenarioFrom(R"({"kcs": {"onTransfer": 3, "responseFrame": "1C 44 00 0A"}})"), 11,
       Counts(10, 2) + "Failed to get user privilege, Completion Code=CEh\n"},
      {"short count reply", ScenarioFrom(R"({"kcs": {"onTransfer": 1, "responseFrame": "1C 44 00 0A 02 00"}})"), 11,
       "Failed to get number of user, Completion Code=CEh\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(c.scenario, {"-user", "list"});
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, c.output);
  }
}

TEST(ToolUserHelp, PrintsCodesAndSendsNothing) {
  const ToolRun run = RunTool({"-user", "help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output,
            "For privilege level:\nAdministrator level : 4\nOperator level      : 3\nUser level          : 2\n"
            "Callback level      : 1\n");
  EXPECT_TRUE(run.requests.empty());
}

// ---- editing ----

std::string SetUserName(const std::string& id, const std::string& name) { return "06 45 " + id + Field(name, 16); }
std::string SetPassword(const std::string& idByte, const std::string& op, const std::string& password) {
  return "06 47 " + idByte + " " + op + Field(password, 20);
}
std::string SetUserAccess(const std::string& flags, const std::string& id, const std::string& privilege) {
  return "06 43 " + flags + " " + id + " " + privilege + " 00";
}

Requests AddRequests(const std::string& id, const std::string& idWithSize, const std::string& name,
                     const std::string& password, const std::string& privilege) {
  return {SetUserName(id, name), SetPassword(idWithSize, "02", password), SetPassword(idWithSize, "01", ""),
          SetUserAccess("B1", id, privilege)};
}

const std::string k16 = "ABCDEFGHIJKLMNOP";
const std::string k20 = "0123456789abcdefghij";

TEST(ToolUserEdit, RequestSequences) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string output;
    Requests requests;
  } cases[] = {
      {{"-user", "add", "5", "carol", "s3cret", "3"}, 0, "Done.\n", AddRequests("05", "85", "carol", "s3cret", "03")},
      {{"-user", "add", "5", "carol", "", "4x"}, 0, "Done.\n", AddRequests("05", "85", "carol", "", "04")},
      // Names and passwords that fill their fields exactly go out whole.
      {{"-user", "add", "6", k16, k20, "2"}, 0, "Done.\n", AddRequests("06", "86", k16, k20, "02")},
      // ID 200 goes out as C8h everywhere (bit 7 already set for the password).
      {{"-user", "add", "200", "x", "y", "4"}, 0, "Done.\n", AddRequests("C8", "C8", "x", "y", "04")},
      {{"-user", "del", "3"},
       0,
       "Done.\n",
       {GetUserAccess(3), SetPassword("83", "02", ""), SetUserAccess("B1", "03", "0F"), SetPassword("83", "00", ""),
        SetUserAccess("81", "03", "0F"), SetUserName("03", "")}},
      {{"-user", "level", "3", "15"}, 0, "Done.\n", {SetUserAccess("B1", "03", "0F")}},
      {{"-user", "level", "200", "4"}, 0, "Done.\n", {SetUserAccess("B1", "C8", "04")}},
      {{"-user", "setpwd", "2", k20}, 0, "Done.\n", {SetPassword("82", "02", k20)}},
      {{"-user", "setpwd", "200", "pw"}, 0, "Done.\n", {SetPassword("C8", "02", "pw")}},
      // The BMC refuses what it does not have.
      {{"-user", "level", "2", "9"},
       11,
       "Failed to disable user privilege, Completion Code=CCh\n",
       {SetUserAccess("B1", "02", "09")}},
      {{"-user", "del", "11"}, 11, "Failed to get user privilege, Completion Code=CCh\n", {GetUserAccess(11)}},
      {{"-user", "add", "1", "anon", "pw", "4"},
       11,
       "Failed to set user name, Completion Code=CCh\n",
       {SetUserName("01", "anon")}},
      // Operands the dispatcher refuses.
      {{"-user", "add", "5", "carol", "pw", "x"}, 12, "Invalid parameters.\n", {}},
      {{"-user", "del", "x"}, 12, "Invalid parameters.\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args[2]);
    const ToolRun run = RunTool(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.requests, c.requests);
  }
}

TEST(ToolUserEdit, OverlongNameOrPasswordIsRefusedBeforeAnyRequest) {
  const std::string nameTooLong = "User name is too long (at most 16 bytes).\n";
  const std::string passwordTooLong = "Password is too long (at most 20 bytes).\n";
  const struct {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{"-user", "add", "5", k16 + "Q", "pw", "4"}, nameTooLong},
      {{"-user", "add", "5", "carol", k20 + "k", "4"}, passwordTooLong},
      {{"-user", "add", "5", k16 + "Q", k20 + "k", "4"}, nameTooLong},
      {{"-user", "add", "5", "n\xC3\xA4me-of-16-bytes", "pw", "4"}, nameTooLong},  // 17 bytes, 16 characters
      {{"-user", "setpwd", "2", k20 + "k"}, passwordTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[3]);
    const ToolRun run = RunTool(c.args);
    EXPECT_EQ(run.status, 12);
    EXPECT_EQ(run.output, c.output);
    EXPECT_TRUE(run.requests.empty());
  }
}

TEST(ToolUserEdit, EachFailedStepStopsTheSequence) {
  const struct {
    std::vector<std::string> args;
    const char* cmd;
    int nth;
    std::string output;
    size_t requestsSent;
  } cases[] = {
      {{"-user", "add", "5", "n", "p", "4"}, "45", 1, "Failed to set user name, Completion Code=D5h\n", 1},
      {{"-user", "add", "5", "n", "p", "4"}, "47", 1, "Failed to set user password, Completion Code=D5h\n", 2},
      {{"-user", "add", "5", "n", "p", "4"}, "47", 2, "Failed to enable user account, Completion Code=D5h\n", 3},
      {{"-user", "add", "5", "n", "p", "4"}, "43", 1, "Failed to set user privilege, Completion Code=D5h\n", 4},
      {{"-user", "del", "3"}, "44", 1, "Failed to get user privilege, Completion Code=D5h\n", 1},
      {{"-user", "del", "3"}, "47", 1, "Failed to set user password, Completion Code=D5h\n", 2},
      {{"-user", "del", "3"}, "43", 1, "Failed to disable user privilege, Completion Code=D5h\n", 3},
      {{"-user", "del", "3"}, "47", 2, "Failed to disable user account, Completion Code=D5h\n", 4},
      {{"-user", "del", "3"}, "43", 2, "Failed to disable user(+) account, Completion Code=D5h\n", 5},
      {{"-user", "del", "3"}, "45", 1, "Failed to set user name, Completion Code=D5h\n", 6},
      {{"-user", "setpwd", "3", "p"}, "47", 1, "Failed to set user password, Completion Code=D5h\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1] + " cmd " + c.cmd + " #" + std::to_string(c.nth));
    const Scenario bmc = ScenarioFrom(std::string(R"({"completionCodes": [{"netFn": "06", "cmd": ")") + c.cmd +
                                      R"(", "nth": )" + std::to_string(c.nth) + R"(, "code": "D5"}]})");
    const ToolRun run = RunTool(bmc, c.args);
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.requests.size(), c.requestsSent);
  }
}

}  // namespace
