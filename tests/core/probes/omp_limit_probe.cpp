// Prints what a program sees after ensureOmpThreadLimit: the variable, the
// name the kernel gives the process, and its arguments, one per line.
#include "core/OmpThreadLimit.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char* argv[])
{
    ensureOmpThreadLimit(argc, argv);
    const char* limit = std::getenv("OMP_THREAD_LIMIT");
    std::printf("limit=%s\n", limit ? limit : "(unset)");
    std::string name;
    std::getline(std::ifstream("/proc/self/comm"), name);
    std::printf("name=%s\n", name.c_str());
    for (int i = 0; i < argc; ++i)
        std::printf("arg=%s\n", argv[i]);
    return 0;
}
