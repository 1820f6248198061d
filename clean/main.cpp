#include "clean/CleanLogs.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  return platform::exitStatus(cleanLogs(platform::commandLineText(argc, argv)));
}
