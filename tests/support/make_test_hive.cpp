// make-test-hive [--control-set N] OUT.hive IN.reg [MOUNT]
//
// Writes the keys of a registry export below MOUNT (by default
// HKEY_LOCAL_MACHINE\SYSTEM) as a binary hive, for shell tests of the
// programs that read hives. With --control-set N, keys the export holds below
// CurrentControlSet go to ControlSet%03d instead, with Select\Current = N, as
// in a hive saved from a running system.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/HiveFixture.h"
#include "tests/support/TestSupport.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  unsigned controlSet = 0;
  if (args.size() >= 2 && args[0] == "--control-set") {
    controlSet = static_cast<unsigned>(std::stoul(args[1]));
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2 || args.size() > 3) {
    std::cerr << "usage: make-test-hive [--control-set N] OUT.hive IN.reg [MOUNT]\n";
    return 2;
  }
  try {
    std::string text = vormlan::test::ReadFile(args[1]);
    if (controlSet != 0) text = vormlan::test::AsSavedHive(std::move(text), controlSet);
    vormlan::test::WriteHiveFromRegText(
        args[0], text, args.size() == 3 ? args[2] : "HKEY_LOCAL_MACHINE\\SYSTEM", args[1]);
  } catch (const std::exception& e) {
    std::cerr << "make-test-hive: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
