// tavrilo-convert send: program files over the link cable to the calculator.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace tavrilo::cli {

struct SendArgs {
    std::string cable = "auto";  // auto, usb, graylink or virtual
    std::string device;          // the GrayLink's serial port
    int timeoutSeconds = 3;
    std::vector<std::string> files;
};

// Adds send's options and its FILE... to sub.
void AddSendOptions(CLI::App* sub, SendArgs& a);

// Sends the files in order, one line each on standard output. Returns 0 when
// all were sent, 1 at the first failure (the rest are not sent), 2 for a
// usage error.
int RunSend(const SendArgs& a);

// The send command on its own; argv[0] is "send".
int RunSendCommand(int argc, char** argv);

}  // namespace tavrilo::cli
