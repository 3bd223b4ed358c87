// Ordered unit start-up: the program's entry names its units in dependency order; each unit's
// start runs in that order and its end in reverse, also when a later start fails.
#pragma once

#include <initializer_list>
#include <vector>

struct TUnitInfo {
    const char* Name;
    void (*Initialize)();
    void (*Finalize)();
};

class TUnitStartup {
public:
    explicit TUnitStartup(std::initializer_list<const TUnitInfo*> unitsInOrder);
    ~TUnitStartup();
    TUnitStartup(const TUnitStartup&) = delete;
    TUnitStartup& operator=(const TUnitStartup&) = delete;

private:
    void FinalizeStarted() noexcept;
    std::vector<const TUnitInfo*> started_;
};
