// A stand-in for pkexec, handed "env NAME=value ... program" as pkexec is.
// Built three times:
//   wait      the question stays up: it waits, as pkexec does while it asks
//   stubborn  the same, deaf to SIGTERM
//   grant     the rights are granted at once: it runs what it was handed
// One that waits says it runs by writing its process id to "<its file>.pid"
// (written whole, then renamed into place), and ends by itself once its own
// file is gone or after a minute, so that none outlives the test that started
// it.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <time.h>
#include <unistd.h>

namespace {

std::string OwnFile() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

bool WritePidFile(const std::string& pidFile) {
    const std::string part = pidFile + ".part";
    std::FILE* file = std::fopen(part.c_str(), "w");
    if (!file)
        return false;
    const bool written = std::fprintf(file, "%ld\n", static_cast<long>(::getpid())) > 0;
    return std::fclose(file) == 0 && written && std::rename(part.c_str(), pidFile.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view mode = STANDIN_MODE;
    if (mode == "grant") {
        if (argc < 2)
            return 1;
        ::execvp(argv[1], argv + 1);
        return 1;
    }
    if (mode == "stubborn")
        std::signal(SIGTERM, SIG_IGN);
    const std::string self = OwnFile();
    if (self.empty() || !WritePidFile(self + ".pid"))
        return 1;
    const timespec step{0, 20'000'000};
    for (int i = 0; i < 3000 && ::access(self.c_str(), F_OK) == 0; ++i) {
        while (::nanosleep(&step, nullptr) != 0 && errno == EINTR) {
        }
    }
    return 126; // as pkexec when the question is dismissed
}
