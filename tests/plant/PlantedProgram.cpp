// A planted ping.exe: says it ran, and exits with 77. With "/load NAME" it
// first loads a library by its bare name, as a program that trusts the
// default search order does: the tests use that to show that a planted DLL
// beside a program is taken when nothing keeps it out.
#include <cstring>

#include "PlantMarker.h"

int main(int argc, char** argv) {
    WritePlantMarker("exe", nullptr);
    if (argc == 3 && std::strcmp(argv[1], "/load") == 0) return LoadLibraryA(argv[2]) ? 0 : 1;
    return 77;
}
