#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "UnitRegistry.h"

namespace {

std::string trace;
void StartA() { trace += "+A"; }
void EndA() { trace += "-A"; }
void StartB() { trace += "+B"; }
void EndB() { trace += "-B"; }
void StartFailing() { throw std::runtime_error("start failed"); }
void EndThrowing() {
    trace += "-T";
    throw std::runtime_error("end failed");
}

const TUnitInfo UnitA{"A", StartA, EndA};
const TUnitInfo UnitB{"B", StartB, EndB};
const TUnitInfo UnitFailing{"F", StartFailing, EndA};
const TUnitInfo UnitThrowingEnd{"T", nullptr, EndThrowing};

} // namespace

TEST(UnitStartup, StartsInOrderAndEndsInReverse) {
    trace.clear();
    { TUnitStartup units{&UnitA, &UnitB}; }
    EXPECT_EQ(trace, "+A+B-B-A");
}

TEST(UnitStartup, AFailingStartEndsTheUnitsAlreadyStartedAndOnlyThose) {
    trace.clear();
    EXPECT_THROW((TUnitStartup{&UnitA, &UnitB, &UnitFailing, &UnitA}), std::runtime_error);
    EXPECT_EQ(trace, "+A+B-B-A");
}

TEST(UnitStartup, AFailingEndDoesNotKeepEarlierUnitsFromEnding) {
    trace.clear();
    { TUnitStartup units{&UnitA, &UnitThrowingEnd}; }
    EXPECT_EQ(trace, "+A-T-A");
}
