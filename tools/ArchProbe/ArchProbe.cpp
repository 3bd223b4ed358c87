// Run under Wine before a test run of this build's architecture: if the machine cannot execute
// the program (no 32-bit support in the kernel, no 32-bit Wine), it never gets to print this line.
#include <cstdio>

int main() {
    std::printf("ArchProbe: a %u-bit Windows program ran\n", static_cast<unsigned>(sizeof(void*) * 8));
    return 0;
}
