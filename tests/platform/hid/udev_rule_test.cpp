// The shipped udev rule must grant the seat's user access to exactly the supported keyboards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool IsLowerHex4(const std::string& s) {
  return s.size() == 4 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// "vvvv:pppp" of a well-formed rule line, "" otherwise.
std::string RuleIds(const std::string& line) {
  const std::string head = R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}==")";
  const std::string middle = R"(", ATTRS{idProduct}==")";
  const std::string tail = R"(", TAG+="uaccess")";
  if (line.size() != head.size() + 4 + middle.size() + 4 + tail.size()) return "";
  if (line.compare(0, head.size(), head) != 0) return "";
  std::string vid = line.substr(head.size(), 4);
  if (line.compare(head.size() + 4, middle.size(), middle) != 0) return "";
  std::string pid = line.substr(head.size() + 4 + middle.size(), 4);
  if (line.compare(line.size() - tail.size(), tail.size(), tail) != 0) return "";
  if (!IsLowerHex4(vid) || !IsLowerHex4(pid)) return "";
  return vid + ":" + pid;
}

// The value of attribute `name` in `element`, "" when absent.
std::string Attribute(const std::string& element, const std::string& name) {
  std::string key = " " + name + "=\"";
  size_t at = element.find(key);
  if (at == std::string::npos) return "";
  at += key.size();
  size_t end = element.find('"', at);
  return end == std::string::npos ? "" : element.substr(at, end - at);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

TEST(UdevRuleTest, EveryLineIsAHidrawUaccessRuleForADeviceEntry) {
  const std::string rules = std::string(KELVANE_SOURCE_DIR) + "data/udev/70-kelvane.rules";
  ASSERT_TRUE(std::filesystem::exists(rules));
  // Below 73 so that the seat rules see the uaccess tag.
  EXPECT_LT(std::stoi(std::filesystem::path(rules).filename().string().substr(0, 2)), 73);

  std::set<std::string> ruleIds;
  std::istringstream in(ReadFile(rules));
  for (std::string text; std::getline(in, text);) {
    if (text.empty() || text[0] == '#') continue;
    std::string ids = RuleIds(text);
    ASSERT_FALSE(ids.empty()) << "malformed rule: " << text;
    EXPECT_TRUE(ruleIds.insert(ids).second) << "duplicate: " << text;
  }
  EXPECT_FALSE(ruleIds.empty());

  const std::string deviceXml = std::string(KELVANE_SOURCE_DIR) + "data/device.xml";
  ASSERT_TRUE(std::filesystem::exists(deviceXml));
  std::set<std::string> entryIds;
  const std::string xml = ReadFile(deviceXml);
  for (size_t at = xml.find("<device "); at != std::string::npos; at = xml.find("<device ", at + 1)) {
    std::string element = xml.substr(at, xml.find('>', at) - at);
    entryIds.insert(Lower(Attribute(element, "vid")) + ":" + Lower(Attribute(element, "pid")));
  }
  EXPECT_EQ(ruleIds, entryIds);
}

}  // namespace
