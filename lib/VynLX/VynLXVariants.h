// Equality and three-way comparison of variant values for the in-memory data sets' searching,
// locating and sorting: single values and one-dimensional arrays of them (one element per key
// field), under the locate options (loCaseInsensitive, loPartialKey). Part of the unit
// VynLXUtils, whose header includes this one; its assertions name lib/VynLX/VynLXUtils.
#pragma once

#include "LocateOptions.h"
#include "SysTypes.h"
#include "Variants.h"

// The framework's wide comparison of text1 and text2 (without regard to case under
// loCaseInsensitive). Under loPartialKey text1 is first cut to text2's length when longer, so
// the test becomes whether text1 begins with text2.
int CompareWideStr(const WideString& text1, const WideString& text2, TLocateOptions options);

bool IsNullOrEmpty(const TVariant& value);

// Single values only: an array raises EAssertionFailed "InternalError: Array type variants
// found.". With options, both values compare as wide text through CompareWideStr (numbers and
// dates too); without, empty equals only empty and null only null, and other values (decimals
// as doubles) by the variant relationship. A conversion or comparison that fails means unequal:
// no exception of the runtime leaves it.
bool VarEqual(const TVariant& left, const TVariant& right, TLocateOptions options);

// Single values or one-dimensional arrays: false for different dimension counts or bounds, else
// VarEqual of the values or of every pair of elements.
bool VarArrayEqual(const TVariant& left, const TVariant& right, TLocateOptions options);

// -1, 0 or +1 for single values (arrays: the assertion of VarEqual). With options and two
// strings (wide or narrow), CompareWideStr; otherwise the variant relationship, where null or
// empty sorts before every other value and two values that cannot be compared are equal.
// Conversion errors pass through.
int CompareVariantValues(const TVariant& left, const TVariant& right, TLocateOptions options);

// Single values or one-dimensional arrays compared element by element, the first difference
// deciding. Assertions: "CompareVariants: Must have same dim count.", "CompareVariants: Must
// have same lower bound.", "CompareVariants: Must have same upper bound.".
int CompareVariants(const TVariant& left, const TVariant& right, TLocateOptions options);
