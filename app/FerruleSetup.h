// The installer's work, the same with its window and without: DAO 3.60 written below Common Files
// and registered, unless a version as new is already registered.
#pragma once

#include <functional>

#include "SysTypes.h"

// Each stage's text ("... - installing...", "... - registering...") goes to showStage before the
// stage begins. False when there was nothing to do. Failures raise, naming the file.
bool InstallDao(const std::function<void(const WideString& stage)>& showStage);
