// A library with no purpose but to be imported by a fixture: whether it is loaded tells whether
// the fixture's imports were resolved.
#include <windows.h>

extern "C" __declspec(dllexport) int StandInDependencyMarker() {
    return 1;
}
