#include "UnitRegistry.h"

TUnitStartup::TUnitStartup(std::initializer_list<const TUnitInfo*> unitsInOrder) {
    try {
        for (const TUnitInfo* unit : unitsInOrder) {
            if (unit->Initialize)
                unit->Initialize();
            started_.push_back(unit);
        }
    } catch (...) {
        FinalizeStarted();
        throw;
    }
}

TUnitStartup::~TUnitStartup() { FinalizeStarted(); }

void TUnitStartup::FinalizeStarted() noexcept {
    while (!started_.empty()) {
        const TUnitInfo* unit = started_.back();
        started_.pop_back();
        try {
            if (unit->Finalize)
                unit->Finalize();
        } catch (...) {
            // An end that fails must not keep the units started before it from ending.
        }
    }
}
