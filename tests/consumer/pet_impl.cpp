// Stands where a class implementer's source file would. The generated header needs the KAV
// runtime's headers to compile, which this project does not have: its include guard is
// defined first, so the header is read (and the object depends on it) but its text is
// skipped, as on a second inclusion.
#define Pet_xih
#include "pet.xih"

#include <cstdio>

int main() {
    std::puts("pet.xih included");
    return 0;
}
