#pragma once

// UTF-8 and UTF-7 encoding and decoding beside a plain copy of the same bytes.
void RunConversionBench();
