// Prints what a program sees after ensureOmpThreadLimit: the variable and its
// arguments, one per line.
#include "core/OmpThreadLimit.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    ensureOmpThreadLimit(argc, argv);
    const char* limit = std::getenv("OMP_THREAD_LIMIT");
    std::printf("limit=%s\n", limit ? limit : "(unset)");
    for (int i = 1; i < argc; ++i)
        std::printf("arg=%s\n", argv[i]);
    return 0;
}
