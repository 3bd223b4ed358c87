#include "VynSystem.h"

uint32_t DefaultCodePage = 0;

namespace {
uint32_t keptDefaultCodePage = 0;

void StartVynSystem() { keptDefaultCodePage = DefaultCodePage; }
void EndVynSystem() { DefaultCodePage = keptDefaultCodePage; }
} // namespace

const TUnitInfo VynSystemUnit{"lib/VynUnicode/VynSystem", StartVynSystem, EndVynSystem};
