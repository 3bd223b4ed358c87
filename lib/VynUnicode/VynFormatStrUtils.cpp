#include "VynFormatStrUtils.h"

WideString FormatWide(const WideString& format, const std::vector<TVarRec>& args) {
    return WideFormat(format, args);
}
