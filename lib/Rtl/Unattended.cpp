#include "Unattended.h"

#include <memory>

#include "Exceptions.h"

namespace {

// Set once before the units start and cleared after they end: read by the one thread that shows
// windows.
std::unique_ptr<TUnattendedSink> activeSink;

} // namespace

TUnattendedRun::TUnattendedRun(TUnattendedSink sink) {
    if (activeSink != nullptr)
        throw EInvalidOperation("The program already runs unattended.");
    activeSink = std::make_unique<TUnattendedSink>(std::move(sink));
}

TUnattendedRun::~TUnattendedRun() { activeSink.reset(); }

bool RunsUnattended() { return activeSink != nullptr; }

void TellUnattended(const WideString& text) {
    if (activeSink == nullptr || !*activeSink)
        return;
    try {
        (*activeSink)(text);
    } catch (...) {
    }
}
