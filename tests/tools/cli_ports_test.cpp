// kovrel-cli ports on a fake system: an adapter on COM3, an unplugged one's COM7, a UART on COM1.

#include "cli_ports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "cli_run.h"

namespace kovrel::cli {
namespace {

namespace fs = std::filesystem;

TEST(CliPorts, listsWhatTheProgramSeesAndMovesAnAdapterOnlyToAFreeNumber) {
  const fs::path root = fs::temp_directory_path() / ("kovrel-cli-ports-" + std::to_string(getpid()));
  fs::remove_all(root);
  const ComFolders folders{root / "sys", root / "dev", root / "proc", root / "state", root / "links"};
  const fs::path usb = folders.sysfs / "devices" / "usb1" / "1-1", tty = usb / "1-1:1.0" / "ttyUSB0";
  // clang-format off
  for (auto [file, content] : std::vector<std::pair<fs::path, std::string>>{
           {usb / "idVendor", "0403"}, {usb / "idProduct", "6001"}, {usb / "serial", "AAA"},
           {usb / "1-1:1.0" / "bInterfaceNumber", "00"}, {tty / "uevent", ""}, {folders.dev / "ttyUSB0", ""},
           {folders.sysfs / "class" / "tty" / "ttyS0" / "type", "4"}, {folders.dev / "ttyS0", ""},
           {folders.state / "com-numbers.txt", "3 usb:0403:6001:AAA:00\n7 usb:0403:6001:BBB:00\n"}})
    fs::create_directories(file.parent_path()), std::ofstream(file) << content;
  // clang-format on
  fs::create_directories(folders.sysfs / "class" / "tty" / "ttyUSB0");
  fs::create_directory_symlink(tty, folders.sysfs / "class" / "tty" / "ttyUSB0" / "device");

  const std::string device = (folders.dev / "ttyUSB0").string();
  // The arguments, the exit status, what is said on standard output (standard error when refused).
  const std::vector<std::tuple<std::vector<std::string>, int, std::string>> rows = {
      {{}, kExitDone, "COM3   usb      " + device + " usb:0403:6001:AAA:00\n"},
      {{"renumber", "COM3", "COM7"}, kExitStopped, "COM7 is taken"},  // another adapter's number
      {{"renumber", "COM3", "COM1"}, kExitStopped, "COM1 is taken"},  // a port present now
      {{"renumber", "COM2", "COM9"}, kExitStopped, "COM2 is not the saved number"},
      {{"renumber", "COM3"}, kExitUsage, "renumber COMa COMb"},
      {{"renumber", "COMx", "COM9"}, kExitUsage, "renumber COMa COMb"},
      {{"renumber", "COM3", "9"}, kExitUsage, "renumber COMa COMb"},
      {{"move", "COM3", "COM9"}, kExitUsage, "renumber COMa COMb"},
      {{"renumber", "COM3", "COM9"}, kExitDone, "COM3 (usb:0403:6001:AAA:00) is now COM9"},
      {{}, kExitDone, "COM9   usb      " + device},
  };
  for (const auto& [args, status, said] : rows) {
    std::ostringstream out, err;
    EXPECT_EQ(runPorts(args, folders, out, err), status) << err.str();
    EXPECT_NE((status == kExitDone ? out : err).str().find(said), std::string::npos)
        << out.str() << err.str();
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace kovrel::cli
