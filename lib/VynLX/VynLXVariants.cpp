#include "VynLXVariants.h"

#include "Assertions.h"
#include "Exceptions.h"
#include "WideCompare.h"

namespace {

// These functions belong to the unit VynLXUtils; its assertions name it.
constexpr char UnitName[] = "lib/VynLX/VynLXUtils";

TVariant DecimalAsDouble(const TVariant& value) {
    return value.Type() == VT_DECIMAL ? value.ChangeType(VT_R8) : value;
}

int Sign(int value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

} // namespace

int CompareWideStr(const WideString& text1, const WideString& text2, TLocateOptions options) {
    const bool caseSensitive = !options.Contains(loCaseInsensitive);
    if (options.Contains(loPartialKey) && text2.size() < text1.size())
        return CompareWideText(text1.substr(0, text2.size()), text2, caseSensitive);
    return CompareWideText(text1, text2, caseSensitive);
}

bool IsNullOrEmpty(const TVariant& value) {
    return value.IsNull() || value.IsEmpty();
}

bool VarEqual(const TVariant& left, const TVariant& right, TLocateOptions options) {
    if (left.IsArray() || right.IsArray())
        RTL_ASSERTION_FAILED("InternalError: Array type variants found.");
    try {
        if (!options.Empty())
            return CompareWideStr(left.AsWide(), right.AsWide(), options) == 0;
        if (left.IsEmpty())
            return right.IsEmpty();
        if (left.IsNull())
            return right.IsNull();
        if (IsNullOrEmpty(right))
            return false;
        return VariantRelationship(DecimalAsDouble(left), DecimalAsDouble(right)) == vrEqual;
    } catch (const Exception&) {
        return false;
    }
}

bool VarArrayEqual(const TVariant& left, const TVariant& right, TLocateOptions options) {
    if (left.DimCount() != right.DimCount())
        return false;
    if (!left.IsArray())
        return VarEqual(left, right, options);
    const int32_t low = left.LowBound();
    const int32_t high = left.HighBound();
    if (low != right.LowBound() || high != right.HighBound())
        return false;
    for (int64_t i = low; i <= high; ++i)
        if (!VarArrayEqual(left.Element(static_cast<int32_t>(i)), right.Element(static_cast<int32_t>(i)),
                           options))
            return false;
    return true;
}

int CompareVariantValues(const TVariant& left, const TVariant& right, TLocateOptions options) {
    if (left.IsArray() || right.IsArray())
        RTL_ASSERTION_FAILED("InternalError: Array type variants found.");
    if (!options.Empty() && left.IsString() && right.IsString())
        return Sign(CompareWideStr(left.AsWide(), right.AsWide(), options));
    switch (VariantRelationship(left, right)) {
    case vrLessThan:
        return -1;
    case vrGreaterThan:
        return 1;
    case vrEqual:
        return 0;
    case vrNotComparable:
        break;
    }
    const bool leftMissing = IsNullOrEmpty(left);
    const bool rightMissing = IsNullOrEmpty(right);
    if (leftMissing && !rightMissing)
        return -1;
    if (!leftMissing && rightMissing)
        return 1;
    return 0;
}

int CompareVariants(const TVariant& left, const TVariant& right, TLocateOptions options) {
    if (left.DimCount() != right.DimCount())
        RTL_ASSERTION_FAILED("CompareVariants: Must have same dim count.");
    if (!left.IsArray())
        return CompareVariantValues(left, right, options);
    const int32_t low = left.LowBound();
    const int32_t high = left.HighBound();
    if (low != right.LowBound())
        RTL_ASSERTION_FAILED("CompareVariants: Must have same lower bound.");
    if (high != right.HighBound())
        RTL_ASSERTION_FAILED("CompareVariants: Must have same upper bound.");
    for (int64_t i = low; i <= high; ++i) {
        const int result = CompareVariants(left.Element(static_cast<int32_t>(i)),
                                           right.Element(static_cast<int32_t>(i)), options);
        if (result != 0)
            return result;
    }
    return 0;
}
