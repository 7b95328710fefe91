// Writes to both standard streams without ending a line, then ends the process
// with the status it is given: the streams' buffers must reach the reader.
#include "platform/processend.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    // Fully buffered, as a pipe may be: nothing reaches it before a flush.
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::printf("printed by printf;");
    std::cout << "printed by cout;";
    std::cerr << "printed by cerr;";
    zentaro::platform::EndProcess(argc > 1 ? std::atoi(argv[1]) : 0);
}
