// Wide formatting of every message of the system.
#pragma once

#include "Format.h"

WideString FormatWide(const WideString& format, const std::vector<TVarRec>& args);
